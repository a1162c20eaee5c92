#include "workerrun.h"

#include "runclaim.h"
#include "workerprocess.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

// A clean exit without the end signal is judged a failure only once the
// exchange files have stood still this long.
const int graceMs = 10000;

// The last few lines a worker wrote to its standard error: that is where it
// explains why it refused its input. The worker writes UTF-8 whatever the
// system's code page.
QString stderrTail(const WorkerProcess *process)
{
    const QString all = QString::fromUtf8(process->errorTail()).trimmed();
    if (all.isEmpty())
        return QString();
    QStringList lines = all.split(QLatin1Char('\n'));
    const int keep = 6;
    if (lines.size() > keep)
        lines = lines.mid(lines.size() - keep);
    for (QString &line : lines) {
        line = line.trimmed();
        if (line.size() > 300)
            line = line.left(300) + QStringLiteral("…");
    }
    return lines.join(QLatin1Char('\n'));
}

// Why a worker ended without its end signal, for the warning box.
QString workerFailure(const WorkerProcess *process, const QString &scriptName)
{
    QString text;
    if (process->error() == QProcess::FailedToStart) {
        text = QStringLiteral("无法启动工作脚本“%1”：%2\n请确认它在工作目录 %3 中。")
                   .arg(scriptName, process->errorString(),
                        QDir::toNativeSeparators(QDir::currentPath()));
    } else if (process->exitStatus() == QProcess::CrashExit) {
        text = QStringLiteral("工作脚本“%1”意外终止。").arg(scriptName);
    } else {
        text = QStringLiteral("工作脚本“%1”已退出（退出码 %2），但没有给出完成信号。")
                   .arg(scriptName)
                   .arg(process->exitCode());
    }
    const QString tail = stderrTail(process);
    if (!tail.isEmpty())
        text += QStringLiteral("\n\n") + tail;
    return text;
}

} // namespace

WorkerRun::WorkerRun(RunKind kind, QProcess *&process, QWidget *window, const char *poll,
                     std::function<void()> lastLook, std::function<void(const Notice &)> reportFailure)
    : kind(std::move(kind))
    , process(process)
    , window(window)
    , pollSlot(poll)
    , lastLook(std::move(lastLook))
    , reportFailure(std::move(reportFailure))
{
}

// A worker still running is left alone, and keeps the claim through the
// descriptor it inherited; only the window's own hold on it goes.
WorkerRun::~WorkerRun() = default;

WorkerRun::ClaimAttempt WorkerRun::claim()
{
    ClaimAttempt attempt;
    RunClaim::Outcome outcome;
    attempt.claim = RunClaim::take(kind.claimName, &outcome);
    if (outcome == RunClaim::Outcome::Busy) {
        attempt.refusal = Notice{QStringLiteral("请等待进程关闭"),
                                 QStringLiteral("上一次%1仍在进行，请等它结束后再开始%1。").arg(kind.word)};
    } else if (outcome == RunClaim::Outcome::Failed) {
        attempt.refusal = Notice{QStringLiteral("无法开始%1").arg(kind.word),
                                 QStringLiteral("无法在工作目录 %1 中写入文件，%2没有开始。请检查目录权限和磁盘空间。")
                                     .arg(QDir::toNativeSeparators(QDir::currentPath()), kind.word)};
    }
    return attempt;
}

QTimer *WorkerRun::start(std::unique_ptr<RunClaim> claim)
{
    heldClaim = std::move(claim);
    inGrace = false;
    worker = new WorkerProcess(heldClaim->handle());
    process = worker;
    watchWorker();

    timer = new QTimer(window);
    connect(timer, SIGNAL(timeout()), window, pollSlot);
    connect(timer, &QTimer::timeout, this, &WorkerRun::graceTick); // after the poll slot
    timer->start(500);
    worker->startScript(kind.script);
    return timer;
}

// Hears of the worker's failure to start and of its exit.
void WorkerRun::watchWorker()
{
    const QPointer<QProcess> guarded(worker);
    // Queued, because the handling deletes the process, which must not happen
    // inside the process's own signal.
    const auto later = [this, guarded] {
        QMetaObject::invokeMethod(this, [this, guarded] {
            if (guarded && guarded == process)
                workerGone();
        }, Qt::QueuedConnection);
    };
    connect(worker, &QProcess::errorOccurred, this, [guarded, later](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart && guarded && guarded->state() == QProcess::NotRunning)
            later();
    });
    connect(worker, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this, later);
}

bool WorkerRun::polling() const
{
    return process && timer && timer->isActive();
}

void WorkerRun::stopPolling()
{
    if (timer)
        timer->stop();
}

void WorkerRun::finish()
{
    if (!worker->waitForFinished(30000) && worker->state() != QProcess::NotRunning)
        worker->endTree(); // the bounded wait ran out: end all of it
    release();
}

// The worker failed to start or exited. One last look for its end signal;
// then a failure or crash ends the run at once, while a clean exit may have
// left the real work running in the background.
void WorkerRun::workerGone()
{
    if (!polling())
        return; // already completed, or completing behind an open box
    lastLook();
    if (!polling())
        return;
    const bool cleanExit = worker->error() != QProcess::FailedToStart
                           && worker->exitStatus() == QProcess::NormalExit && worker->exitCode() == 0;
    if (!cleanExit) {
        fail();
        return;
    }
    inGrace = true;
    lastStamp = exchangeStamp();
    sinceChange.start();
}

void WorkerRun::graceTick()
{
    if (!inGrace || !polling())
        return;
    const QStringList stamp = exchangeStamp();
    if (stamp != lastStamp) {
        lastStamp = stamp;
        sinceChange.restart();
    } else if (sinceChange.elapsed() >= graceMs) {
        fail();
    }
}

void WorkerRun::fail()
{
    stopPolling();
    // Nothing the script left behind may write into a later run; and with
    // all of it gone, its messages are whole at once.
    worker->endTree();
    const QString text = workerFailure(worker, kind.script);
    release();
    reportFailure(Notice{kind.failureTitle, kind.failureLead + text});
}

void WorkerRun::release()
{
    inGrace = false;
    worker->close();
    delete worker;
    worker = nullptr;
    process = nullptr;
    heldClaim.reset();
}

QStringList WorkerRun::exchangeStamp() const
{
    QStringList stamp;
    for (const QString &name : kind.exchangeFiles) {
        const QFileInfo info(name);
        stamp << (info.exists() ? QStringLiteral("%1:%2").arg(info.size()).arg(
                                      info.lastModified().toMSecsSinceEpoch())
                                : QStringLiteral("-"));
    }
    return stamp;
}
