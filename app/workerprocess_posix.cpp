#include "workerprocess.h"

#include "scriptlauncher.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

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

WorkerProcess::~WorkerProcess() = default;

void WorkerProcess::endTree()
{
    if (group > 0)
        ::kill(-static_cast<pid_t>(group), SIGKILL);
    kill();
}

// QProcess reads standard error as it comes, a piece per event, and has read
// all of it by the time it tells of the end.
QByteArray WorkerProcess::errorTail() const
{
    return tail->text();
}
