#ifndef WORKERPROCESS_H
#define WORKERPROCESS_H

#include "errortail.h"

#include <QByteArray>
#include <QProcess>

#include <memory>

// A worker script's process. It runs in a process group of its own and
// inherits its run's claim (RunClaim), so that whatever it leaves behind still
// holds the claim, and the window can end all of it when it ends a run itself.
//
// Its standard output goes to the null device and only the end of its
// standard error is kept, so a worker that writes without end cannot grow the
// window's memory.
class WorkerProcess : public QProcess
{
public:
    // How much of the end of standard error is kept: far more than the few
    // lines a failure box shows.
    static constexpr int errorTailBytes = 64 * 1024;

    explicit WorkerProcess(qintptr claimHandle);
    ~WorkerProcess() override;

    // Starts the script by its bare name in the work directory.
    void startScript(const QString &scriptName);

    // Kills the script and every process of its group still alive.
    void endTree();

    // The last bytes the worker wrote to its standard error, at most
    // errorTailBytes, from the start of a line where one is within reach.
    QByteArray errorTail() const;

protected:
    void setupChildProcess() override;

private:
    qintptr claim;
    // What ends the whole tree: the process group (POSIX), the job object
    // (Windows).
    qint64 group = 0;
    // Shared with the thread that reads standard error on Windows, which
    // may outlive this object.
    std::shared_ptr<ErrorTail> tail;
};

#endif // WORKERPROCESS_H
