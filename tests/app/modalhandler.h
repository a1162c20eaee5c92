#ifndef MODALHANDLER_H
#define MODALHANDLER_H

#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

// Answers the window's modal dialogs and message boxes from a timer, the way a
// user would, and records what each one showed. Every wait has a deadline, so a
// box nobody expected fails the test instead of hanging it.
class QDialog;

class ModalHandler : public QObject
{
    Q_OBJECT

public:
    struct Seen
    {
        QString kind;  // "box" or "file dialog"
        QString title;
        QString text;  // message box text; for a file dialog, its name filters
        QWidget *parent = nullptr;
        QStringList buttons; // message box: names of its standard buttons
        QString directory;   // file dialog: the directory it opened in
        int fileMode = -1;
        int viewMode = -1;
        QRect geometry;
    };

    explicit ModalHandler(QObject *parent = nullptr);

    // The next file dialog selects these files (absolute paths) and is
    // accepted; an empty list cancels it. Dialogs beyond the queue are cancelled.
    void answerFileDialog(const QStringList &files);

    // Processes events until `count` modals have been seen and closed, or the
    // deadline passes. Returns whether the count was reached.
    bool waitForSeen(int count, int timeoutMs = 10000);

    // Runs after a file dialog's selection is made, just before it is accepted.
    std::function<void(QDialog *)> beforeFileAccept;
    // Runs while a message box is showing, just before it is answered.
    std::function<void()> beforeBoxAnswer;

    QList<Seen> seen;
    QList<QStringList> selections; // what each accepted file dialog returned
    QList<Seen> boxes() const;

private:
    void poll();

    QTimer timer;
    QQueue<QStringList> fileAnswers;
    QList<QPointer<QWidget>> answered; // closing is queued; never answer twice
};

#endif // MODALHANDLER_H
