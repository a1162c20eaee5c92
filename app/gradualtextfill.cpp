#include "gradualtextfill.h"

#include <QEventLoop>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

GradualTextFill::GradualTextFill(QTextEdit *edit)
    : QObject(edit)
    , edit(edit)
{
    timer.setInterval(0);
    connect(&timer, &QTimer::timeout, this, &GradualTextFill::appendPart);
}

void GradualTextFill::setPlainText(const QString &newText)
{
    timer.stop();
    text = newText;
    next = partEnd(0);
    edit->setPlainText(text.left(next));
    if (filling()) {
        // Appended parts are not edits the user could undo.
        edit->document()->setUndoRedoEnabled(false);
        timer.start();
    } else {
        endFill();
    }
}

void GradualTextFill::waitUntilShown()
{
    if (!filling())
        return;
    QEventLoop loop;
    waiting = &loop;
    loop.exec();
}

void GradualTextFill::endFill()
{
    timer.stop();
    text.clear();
    next = 0;
    edit->document()->setUndoRedoEnabled(true);
    if (waiting)
        waiting->quit();
}

// Where the part that starts at `from` ends: after its last whole line.
int GradualTextFill::partEnd(int from) const
{
    int end = from;
    for (int lines = 0; lines < partLines && end < text.size(); ++lines) {
        const int lineEnd = text.indexOf(QLatin1Char('\n'), end);
        const int after = lineEnd < 0 ? text.size() : lineEnd + 1;
        if (lines > 0 && after - from > partChars)
            break;
        end = after;
    }
    return end;
}

void GradualTextFill::appendPart()
{
    const int end = partEnd(next);
    QTextCursor cursor(edit->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text.mid(next, end - next));
    next = end;
    if (!filling())
        endFill();
}
