#include "debuglog.h"

#include <QStringList>

namespace {
QList<DebugLog::Line> captured;
}

DebugLog::DebugLog()
{
    captured.clear();
    previous = qInstallMessageHandler(&DebugLog::handler);
}

DebugLog::~DebugLog()
{
    qInstallMessageHandler(previous);
}

QList<DebugLog::Line> DebugLog::lines() const
{
    return captured;
}

QStringList DebugLog::messages() const
{
    QStringList result;
    for (const Line &line : captured)
        result.append(line.message);
    return result;
}

void DebugLog::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtDebugMsg)
        return;
    captured.append({message, QString::fromLatin1(context.function), QString::fromLatin1(context.category)});
}
