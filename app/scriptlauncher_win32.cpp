#include "scriptlauncher.h"

#include <QProcess>
#include <QStringList>

// The command interpreter runs a batch file named by its bare name.
void startWorkerScript(QProcess *process, const QString &scriptName)
{
    process->start(scriptName, QStringList(), QIODevice::ReadWrite);
}
