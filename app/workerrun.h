#ifndef WORKERRUN_H
#define WORKERRUN_H

#include "notice.h"
#include "runkind.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QProcess;
class QTimer;
class QWidget;
class RunClaim;
class WorkerProcess;

// One kind of run of the window: its claim on the exchange files, its poll
// timer and its worker. The worker pointer is the window's own member (the
// window's state is read from it), which this object sets and clears. It
// shows nothing itself: what the user must be told comes back as a Notice.
class WorkerRun : public QObject
{
public:
    // `poll` is the window's poll slot, connected by signature to every timer
    // this run makes; `lastLook` calls it directly once the worker is gone.
    // `reportFailure` tells the user why a run ended without its end signal.
    WorkerRun(RunKind kind, QProcess *&process, QWidget *window, const char *poll,
              std::function<void()> lastLook, std::function<void(const Notice &)> reportFailure);
    ~WorkerRun() override;

    struct ClaimAttempt
    {
        std::unique_ptr<RunClaim> claim; // null when refused
        Notice refusal;                  // why, when refused
    };

    // Claims the exchange files without waiting.
    ClaimAttempt claim();

    // Starts the worker with its claim and a new 500 ms poll timer, a child of
    // the window, which it returns.
    QTimer *start(std::unique_ptr<RunClaim> claim);

    // True from the start until the end signal was seen or the run failed.
    bool polling() const;
    void stopPolling();

    // Ends the run after its end signal: waits up to 30 s for the worker,
    // then ends whatever of it is left, and lets the claim go.
    void finish();

private:
    void watchWorker();
    void workerGone();
    void graceTick();
    void fail();
    void release();
    QStringList exchangeStamp() const;

    RunKind kind;
    QProcess *&process;
    QWidget *window;
    const char *pollSlot;
    std::function<void()> lastLook;
    std::function<void(const Notice &)> reportFailure;
    WorkerProcess *worker = nullptr;
    QTimer *timer = nullptr;
    std::unique_ptr<RunClaim> heldClaim;

    // After a clean exit without the end signal: the worker may go on in the
    // background, so the run waits while its files keep changing.
    bool inGrace = false;
    QElapsedTimer sinceChange;
    QStringList lastStamp;
};

#endif // WORKERRUN_H
