#include "scriptlauncher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

namespace {

// execve() runs only files that start with "#!" or are binaries; anything else
// with the execute bit fails with ENOEXEC, where a shell would use /bin/sh.
bool isDirectlyRunnable(const QFileInfo &script)
{
    if (!script.isFile() || !script.isExecutable())
        return false;
    QFile file(script.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4);
    return head.startsWith("#!") || head == "\x7f" "ELF";
}

} // namespace

void startWorkerScript(QProcess *process, const QString &scriptName)
{
    const QFileInfo script(QDir::current().absoluteFilePath(scriptName));
    // A missing script is started by its path anyway, so that QProcess reports
    // FailedToStart instead of a shell reporting a missing file.
    if (!script.exists() || isDirectlyRunnable(script))
        process->start(script.absoluteFilePath(), QStringList(), QIODevice::ReadWrite);
    else
        process->start(QStringLiteral("/bin/sh"), QStringList{script.absoluteFilePath()},
                       QIODevice::ReadWrite);
}
