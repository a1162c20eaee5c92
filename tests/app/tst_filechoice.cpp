#include "mainwindowprobe.h"
#include "modalhandler.h"
#include "testworkdir.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>

// Choosing the review-content file (button_file) and the review-label file
// (pushButton_2): the two buttons are twins that differ in member and label.
class FileChoiceTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void dialogSettings_data();
    void dialogSettings();
    void cancelBeforeAnyChoice_data();
    void cancelBeforeAnyChoice();
    void cancelKeepsEarlierChoice_data();
    void cancelKeepsEarlierChoice();
    void severalFilesKeepTheFirst_data();
    void severalFilesKeepTheFirst();
    void nestedFileShowsBareName_data();
    void nestedFileShowsBareName();
    void sameFileForBothRoles();

private:
    void addRoles();
    QPushButton *button(const QString &role);
    QLabel *label(const QString &role);
    QString path(const QString &role);

    TestWorkDir *dir = nullptr;
    MainWindow *window = nullptr;
    ModalHandler *modals = nullptr;
};

void FileChoiceTest::init()
{
    dir = new TestWorkDir;
    QVERIFY(dir->isValid());
    window = new MainWindow;
    window->show();
    modals = new ModalHandler;
}

void FileChoiceTest::cleanup()
{
    delete modals;
    delete window;
    delete dir;
}

void FileChoiceTest::addRoles()
{
    QTest::addColumn<QString>("role");
    QTest::newRow("review content") << "reviews";
    QTest::newRow("review labels") << "labels";
}

QPushButton *FileChoiceTest::button(const QString &role)
{
    MainWindowForm *ui = MainWindowProbe::form(*window);
    return role == QLatin1String("reviews") ? ui->button_file : ui->pushButton_2;
}

QLabel *FileChoiceTest::label(const QString &role)
{
    MainWindowForm *ui = MainWindowProbe::form(*window);
    return role == QLatin1String("reviews") ? ui->nr_label : ui->bq_label;
}

QString FileChoiceTest::path(const QString &role)
{
    return role == QLatin1String("reviews") ? MainWindowProbe::reviewsPath(*window)
                                            : MainWindowProbe::labelsPath(*window);
}

void FileChoiceTest::dialogSettings_data() { addRoles(); }

void FileChoiceTest::dialogSettings()
{
    QFETCH(QString, role);
    QTest::mouseClick(button(role), Qt::LeftButton);
    QVERIFY(modals->waitForSeen(1));
    const ModalHandler::Seen &dialog = modals->seen.first();
    QCOMPARE(dialog.kind, QStringLiteral("file dialog"));
    QCOMPARE(dialog.title, QStringLiteral("打开文件"));
    QCOMPARE(dialog.parent, window);
    QCOMPARE(dialog.text, QStringLiteral("Text files (*.txt)"));
    QCOMPARE(dialog.directory, QDir::current().absolutePath());
    QCOMPARE(dialog.fileMode, int(QFileDialog::ExistingFiles));
    QCOMPARE(dialog.viewMode, int(QFileDialog::Detail));
    QCOMPARE(dialog.geometry.size(), QSize(800, 600));
    // Each click opens exactly one dialog.
    QTest::qWait(100);
    QCOMPARE(modals->seen.size(), 1);
}

void FileChoiceTest::cancelBeforeAnyChoice_data() { addRoles(); }

void FileChoiceTest::cancelBeforeAnyChoice()
{
    QFETCH(QString, role);
    modals->answerFileDialog({});
    QTest::mouseClick(button(role), Qt::LeftButton);
    QVERIFY(modals->waitForSeen(1));
    QVERIFY(path(role).isEmpty());
    QCOMPARE(label(role)->text(), QStringLiteral("未选择"));
}

void FileChoiceTest::cancelKeepsEarlierChoice_data() { addRoles(); }

void FileChoiceTest::cancelKeepsEarlierChoice()
{
    QFETCH(QString, role);
    QVERIFY(dir->write("first.txt", "a\n"));
    modals->answerFileDialog({dir->filePath("first.txt")});
    modals->answerFileDialog({});
    QTest::mouseClick(button(role), Qt::LeftButton);
    QVERIFY(modals->waitForSeen(1));
    QTest::mouseClick(button(role), Qt::LeftButton);
    QVERIFY(modals->waitForSeen(2));
    QCOMPARE(path(role), dir->filePath("first.txt"));
    QCOMPARE(label(role)->text(), QStringLiteral("first.txt"));
}

void FileChoiceTest::severalFilesKeepTheFirst_data() { addRoles(); }

void FileChoiceTest::severalFilesKeepTheFirst()
{
    QFETCH(QString, role);
    for (const char *name : {"b.txt", "a.txt", "c.txt"})
        QVERIFY(dir->write(name, "x\n"));
    modals->answerFileDialog({dir->filePath("b.txt"), dir->filePath("a.txt"), dir->filePath("c.txt")});
    QTest::mouseClick(button(role), Qt::LeftButton);
    QVERIFY(modals->waitForSeen(1));
    // The dialog may list the selection in its own order; the first of its
    // list is the one kept.
    QCOMPARE(modals->selections.size(), 1);
    const QStringList selected = modals->selections.first();
    QCOMPARE(selected.size(), 3);
    QCOMPARE(path(role), selected.first());
    QCOMPARE(label(role)->text(), QFileInfo(selected.first()).fileName());
}

void FileChoiceTest::nestedFileShowsBareName_data() { addRoles(); }

void FileChoiceTest::nestedFileShowsBareName()
{
    QFETCH(QString, role);
    QVERIFY(QDir(dir->path()).mkpath("数据/第二层"));
    const QString nested = dir->filePath("数据/第二层/点评.txt");
    QVERIFY(dir->write("数据/第二层/点评.txt", "好吃\n"));
    modals->answerFileDialog({nested});
    QTest::mouseClick(button(role), Qt::LeftButton);
    QVERIFY(modals->waitForSeen(1));
    QCOMPARE(path(role), nested);
    QCOMPARE(label(role)->text(), QStringLiteral("点评.txt"));
}

void FileChoiceTest::sameFileForBothRoles()
{
    QVERIFY(dir->write("both.txt", "x\n"));
    modals->answerFileDialog({dir->filePath("both.txt")});
    modals->answerFileDialog({dir->filePath("both.txt")});
    QTest::mouseClick(button("reviews"), Qt::LeftButton);
    QVERIFY(modals->waitForSeen(1));
    QTest::mouseClick(button("labels"), Qt::LeftButton);
    QVERIFY(modals->waitForSeen(2));
    QCOMPARE(MainWindowProbe::reviewsPath(*window), dir->filePath("both.txt"));
    QCOMPARE(MainWindowProbe::labelsPath(*window), dir->filePath("both.txt"));
    QCOMPARE(label("reviews")->text(), QStringLiteral("both.txt"));
    QCOMPARE(label("labels")->text(), QStringLiteral("both.txt"));
}

QTEST_MAIN(FileChoiceTest)
#include "tst_filechoice.moc"
