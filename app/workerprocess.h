#ifndef WORKERPROCESS_H
#define WORKERPROCESS_H

#include <QProcess>

// A worker script's process. It runs in a process group of its own and
// inherits its run's claim (RunClaim), so that whatever it leaves behind still
// holds the claim, and the window can end all of it when it ends a run itself.
class WorkerProcess : public QProcess
{
public:
    explicit WorkerProcess(qintptr claimHandle) : claim(claimHandle) {}

    // Starts the script by its bare name in the work directory.
    void startScript(const QString &scriptName);

    // Kills the script and every process of its group still alive.
    void endTree();

protected:
    void setupChildProcess() override;

private:
    qintptr claim;
    qint64 group = 0;
};

#endif // WORKERPROCESS_H
