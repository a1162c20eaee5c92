#include "workerprocess.h"

#include "scriptlauncher.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN

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

void WorkerProcess::endTree()
{
    if (group > 0)
        QProcess::execute(QStringLiteral("taskkill"),
                          {QStringLiteral("/F"), QStringLiteral("/T"), QStringLiteral("/PID"), QString::number(group)});
    kill();
}

#else

void WorkerProcess::startScript(const QString &scriptName)
{
    startWorkerScript(this, scriptName);
    group = processId();
    if (group > 0)
        ::setpgid(static_cast<pid_t>(group), static_cast<pid_t>(group)); // the child does it too; whoever is first
}

// Runs in the child between fork and exec: only async-signal-safe calls.
void WorkerProcess::setupChildProcess()
{
    ::setpgid(0, 0);
    // Only this run's worker inherits its claim; the window's other children
    // never do, since the descriptor stays close-on-exec in the window.
    const int fd = static_cast<int>(claim);
    ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) & ~FD_CLOEXEC);
}

void WorkerProcess::endTree()
{
    if (group > 0)
        ::kill(-static_cast<pid_t>(group), SIGKILL);
    kill();
}

#endif
