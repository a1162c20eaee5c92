#include "workerprocess.h"

#include "scriptlauncher.h"

#include <windows.h>

// Windows, best effort (untested here): the claim's handle is inheritable only
// while this worker is created, and the tree is ended with taskkill, which
// finds the children that are still attached to the script.
void WorkerProcess::startScript(const QString &scriptName)
{
    const HANDLE handle = reinterpret_cast<HANDLE>(claim);
    SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    startWorkerScript(this, scriptName);
    SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0);
    group = processId();
}

// Qt calls this only where a child is forked; Windows creates the child in
// one step, and startScript above gives it the claim.
void WorkerProcess::setupChildProcess()
{
}

void WorkerProcess::endTree()
{
    if (group > 0)
        QProcess::execute(QStringLiteral("taskkill"),
                          {QStringLiteral("/F"), QStringLiteral("/T"), QStringLiteral("/PID"), QString::number(group)});
    kill();
}
