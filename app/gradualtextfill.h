#ifndef GRADUALTEXTFILL_H
#define GRADUALTEXTFILL_H

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QEventLoop;
class QTextEdit;

// Shows a long plain text in a QTextEdit a part at a time, so that the window
// keeps answering while it lays the text out. QTextEdit::setPlainText lays
// out a large text in steps of up to 200,000 characters and slows down far
// more than in proportion with the number of lines: 200,000 short lines
// stall the window for over a second at a time, 500,000 for many minutes.
// Appended 250 lines at a time, each part is laid out in a few tens of
// milliseconds, and the whole in time proportional to its length.
class GradualTextFill : public QObject
{
public:
    // Parts of at most this many lines, and of at most this many characters
    // unless one line alone is longer (a line is never split: a paragraph
    // laid out again for every piece of it would cost far more).
    static constexpr int partLines = 250;
    static constexpr int partChars = 16 * 1024;

    // Lives as a child of the edit it fills.
    explicit GradualTextFill(QTextEdit *edit);

    // Replaces the edit's text, as setPlainText does: the first part at once
    // (the whole of a short text), the rest from the event loop.
    void setPlainText(const QString &text);

    // True while parts of the text are still to come.
    bool filling() const { return next < text.size(); }

    // Runs the event loop until the whole text is in the edit, as a modal
    // box would: the window keeps answering meanwhile.
    void waitUntilShown();

private:
    int partEnd(int from) const;
    void appendPart();
    void endFill();

    QTextEdit *edit;
    QString text;
    int next = 0;
    QTimer timer;
    QPointer<QEventLoop> waiting;
};

#endif // GRADUALTEXTFILL_H
