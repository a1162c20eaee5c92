#ifndef RUNCLAIM_H
#define RUNCLAIM_H

#include <QString>
#include <QtGlobal>

#include <memory>

// A run's claim on its exchange files in the work directory: an exclusive lock
// on a lock file ("emotion.bat.lock", "test.bat.lock"). The worker inherits
// the lock (WorkerProcess), so the claim lasts as long as the worker and every
// process it leaves behind, not merely as long as the window that took it.
class RunClaim
{
public:
    enum class Outcome { Taken, Busy, Failed };

    // Takes the claim without waiting. Busy: an earlier run of this kind, or
    // something it left behind, still holds it. Failed: the lock file cannot
    // be made (read-only or full directory).
    static std::unique_ptr<RunClaim> take(const QString &name, Outcome *outcome);
    ~RunClaim();
    RunClaim(const RunClaim &) = delete;
    RunClaim &operator=(const RunClaim &) = delete;

    // The descriptor (Windows: handle) that a worker must inherit.
    qintptr handle() const { return lockHandle; }

private:
    explicit RunClaim(qintptr handle) : lockHandle(handle) {}
    qintptr lockHandle;
};

#endif // RUNCLAIM_H
