#include "workerprocess.h"

#include "scriptlauncher.h"

#include <windows.h>

// On Windows `group` is a job object: the script is created suspended, put
// into the job before it runs, and everything it starts joins the job too.
// Ending the job ends all of it, also the children of a script that has
// already exited, which "taskkill /T" cannot find once their parent is gone.
// The claim's handle is inheritable only while this worker is created.
void WorkerProcess::startScript(const QString &scriptName)
{
    PROCESS_INFORMATION *created = nullptr;
    setCreateProcessArgumentsModifier([&created](QProcess::CreateProcessArguments *arguments) {
        arguments->flags |= CREATE_SUSPENDED;
        created = arguments->processInformation;
    });
    const HANDLE handle = reinterpret_cast<HANDLE>(claim);
    SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    startWorkerScript(this, scriptName);
    SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0);
    setCreateProcessArgumentsModifier({});
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
