#ifndef DEBUGLOG_H
#define DEBUGLOG_H

#include <QList>
#include <QString>
#include <QtGlobal>

// Captures the debug lines the window writes, with their context, for as long
// as the object lives.
class DebugLog
{
public:
    struct Line
    {
        QString message;
        QString function;
        QString category;
    };

    DebugLog();
    ~DebugLog();
    DebugLog(const DebugLog &) = delete;
    DebugLog &operator=(const DebugLog &) = delete;

    QList<Line> lines() const;
    QStringList messages() const;

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);
    QtMessageHandler previous;
};

#endif // DEBUGLOG_H
