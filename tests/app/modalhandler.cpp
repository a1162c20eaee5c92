#include "modalhandler.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaEnum>

ModalHandler::ModalHandler(QObject *parent)
    : QObject(parent)
{
    connect(&timer, &QTimer::timeout, this, &ModalHandler::poll);
    timer.start(20);
}

void ModalHandler::answerFileDialog(const QStringList &files)
{
    fileAnswers.enqueue(files);
}

bool ModalHandler::waitForSeen(int count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (seen.size() < count && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return seen.size() >= count;
}

QList<ModalHandler::Seen> ModalHandler::boxes() const
{
    QList<Seen> result;
    for (const Seen &s : seen)
        if (s.kind == QLatin1String("box"))
            result.append(s);
    return result;
}

void ModalHandler::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || answered.contains(modal))
        return;
    answered.append(modal);

    Seen entry;
    entry.title = modal->windowTitle();
    entry.parent = modal->parentWidget();
    entry.geometry = modal->geometry();

    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        entry.kind = QStringLiteral("box");
        entry.text = box->text();
        const QMetaEnum buttonEnum = QMetaEnum::fromType<QMessageBox::StandardButtons>();
        for (QAbstractButton *button : box->buttons())
            entry.buttons.append(QString::fromLatin1(buttonEnum.valueToKey(box->standardButton(button))));
        seen.append(entry);
        if (beforeBoxAnswer)
            beforeBoxAnswer();
        // Closed from the event loop, not from inside this timer's slot: a
        // dialog that opens another modal in response would block the timer.
        QMetaObject::invokeMethod(box, [box] { box->done(QMessageBox::Yes); }, Qt::QueuedConnection);
        return;
    }

    if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
        entry.kind = QStringLiteral("file dialog");
        entry.text = dialog->nameFilters().join(QLatin1Char(';'));
        entry.directory = dialog->directory().absolutePath();
        entry.fileMode = dialog->fileMode();
        entry.viewMode = dialog->viewMode();
        seen.append(entry);
        const QStringList files = fileAnswers.isEmpty() ? QStringList() : fileAnswers.dequeue();
        if (files.isEmpty()) {
            QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
            return;
        }
        // Typing the names is how a user picks files anywhere, several at once
        // when each is quoted.
        QStringList quoted;
        for (const QString &file : files)
            quoted.append(QLatin1Char('"') + file + QLatin1Char('"'));
        auto *nameEdit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (!nameEdit) {
            QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
            return;
        }
        nameEdit->setText(files.size() == 1 ? files.first() : quoted.join(QLatin1Char(' ')));
        connect(dialog, &QFileDialog::filesSelected, this,
                [this](const QStringList &selected) { selections.append(selected); });
        if (beforeFileAccept)
            beforeFileAccept(dialog);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        return;
    }

    entry.kind = QString::fromLatin1(modal->metaObject()->className());
    seen.append(entry);
    QMetaObject::invokeMethod(modal, "close", Qt::QueuedConnection);
}
