#include "workerprocess.h"

#include "scriptlauncher.h"

#include <windows.h>

#include <thread>

namespace {

// Keeps the end of what arrives on `pipe` until every writer has closed it.
// Qt's own pipe reader on Windows reads ahead for as long as data keeps
// coming before the window sees any of it, so a worker flooding its standard
// error would grow the window by all it writes; this thread keeps no more
// than the tail. It owns the pipe and may outlive the process object.
void readErrorTail(HANDLE pipe, std::shared_ptr<ErrorTail> tail)
{
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    DWORD got = 0;
    while (ReadFile(pipe, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) && got > 0)
        tail->append(QByteArray(chunk.constData(), static_cast<int>(got)));
    CloseHandle(pipe);
    tail->close();
}

} // namespace

// On Windows `group` is a job object: the script is created suspended, put
// into the job before it runs, and everything it starts joins the job too.
// Ending the job ends all of it, also the children of a script that has
// already exited, which "taskkill /T" cannot find once their parent is gone.
// The claim's handle is inheritable only while this worker is created.
void WorkerProcess::startScript(const QString &scriptName)
{
    // Standard error goes to a pipe of our own, read by readErrorTail.
    HANDLE errorRead = nullptr, errorWrite = nullptr;
    if (!CreatePipe(&errorRead, &errorWrite, nullptr, 0))
        errorRead = errorWrite = nullptr;
    setStandardErrorFile(QProcess::nullDevice());
    PROCESS_INFORMATION *created = nullptr;
    setCreateProcessArgumentsModifier([&created, errorWrite](QProcess::CreateProcessArguments *arguments) {
        arguments->flags |= CREATE_SUSPENDED;
        if (errorWrite)
            arguments->startupInfo->hStdError = errorWrite;
        created = arguments->processInformation;
    });
    // Both handles are inheritable only while this worker is created.
    const HANDLE handle = reinterpret_cast<HANDLE>(claim);
    SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    if (errorWrite)
        SetHandleInformation(errorWrite, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    startWorkerScript(this, scriptName);
    SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0);
    setCreateProcessArgumentsModifier({});
    if (errorWrite) {
        // The worker holds its own copy; the pipe ends when its last writer does.
        CloseHandle(errorWrite);
        std::thread(readErrorTail, errorRead, tail).detach();
    } else {
        tail->close();
    }
    if (!created || processId() == 0)
        return;
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job && AssignProcessToJobObject(job, created->hProcess))
        group = reinterpret_cast<qint64>(job);
    else if (job)
        CloseHandle(job);
    ResumeThread(created->hThread);
}

// Qt calls this only where a child is forked; Windows creates the child in
// one step, and startScript above gives it the claim.
void WorkerProcess::setupChildProcess()
{
}

void WorkerProcess::endTree()
{
    if (group != 0) {
        TerminateJobObject(reinterpret_cast<HANDLE>(group), 1);
        CloseHandle(reinterpret_cast<HANDLE>(group));
        group = 0;
    }
    kill();
}

// Closing the job leaves its processes running: a worker whose window has
// gone goes on, as on POSIX.
WorkerProcess::~WorkerProcess()
{
    if (group != 0)
        CloseHandle(reinterpret_cast<HANDLE>(group));
}

// The worker has ended, but what it started may still hold the pipe: wait a
// moment for the last bytes, no longer.
QByteArray WorkerProcess::errorTail() const
{
    return tail->text(state() == QProcess::NotRunning ? 1000 : 0);
}
