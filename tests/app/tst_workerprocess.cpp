#include "processprobe.h"
#include "runclaim.h"
#include "testworkdir.h"
#include "workerprocess.h"

#include <QTest>

// A worker's output cannot grow the window: standard output goes nowhere,
// and of standard error only the end is kept, from the start of a line.
class WorkerProcessTest : public QObject
{
    Q_OBJECT

private slots:
    void errorTailIsBounded_data();
    void errorTailIsBounded();
    void floodOnStandardOutputIsNotKept();
    void endTreeEndsWhatTheScriptStarted();
};

namespace {

// A worker process with a claim of its own, in a fresh work directory.
struct Worker
{
    Worker() : claim(RunClaim::take(QStringLiteral("worker.lock"), &outcome)), process(claim ? claim->handle() : -1) {}
    ~Worker()
    {
        process.endTree();
        process.waitForFinished(5000);
    }

    TestWorkDir dir;
    RunClaim::Outcome outcome = RunClaim::Outcome::Failed;
    std::unique_ptr<RunClaim> claim;
    WorkerProcess process;
};

} // namespace

void WorkerProcessTest::errorTailIsBounded_data()
{
    QTest::addColumn<WorkerSteps>("worker");
    QTest::addColumn<QByteArray>("tail");  // what is kept, when known exactly
    QTest::addColumn<QByteArray>("start"); // else how it begins

    QTest::newRow("a few lines") << WorkerSteps().complain("one\n").complain("最后一行\n")
                                 << QByteArray("one\n最后一行\n") << QByteArray();
    QTest::newRow("a megabyte of lines")
        << WorkerSteps().numberedLines(WorkerSteps::Err, 40000, "filler line").complain("last words\n")
        << QByteArray() << QByteArray("filler line ");
    QTest::newRow("a long line, then a short one")
        << WorkerSteps().repeat(WorkerSteps::Err, 200000, "x").complain("\n").complain("last words\n")
        << QByteArray("last words\n") << QByteArray();
    QTest::newRow("one endless line") << WorkerSteps().repeat(WorkerSteps::Err, 200000, "x")
                                      << QByteArray(WorkerProcess::errorTailBytes, 'x') << QByteArray();
}

void WorkerProcessTest::errorTailIsBounded()
{
    QFETCH(WorkerSteps, worker);
    QFETCH(QByteArray, tail);
    QFETCH(QByteArray, start);
    Worker w;
    QVERIFY(w.claim);
    QVERIFY(w.dir.writeWorker("worker.bat", worker));
    w.process.startScript(QStringLiteral("worker.bat"));
    QVERIFY(w.process.waitForFinished(20000));

    const QByteArray kept = w.process.errorTail();
    QVERIFY(kept.size() <= WorkerProcess::errorTailBytes);
    if (!tail.isEmpty()) {
        QCOMPARE(kept, tail);
    } else {
        QVERIFY2(kept.startsWith(start), kept.left(40).constData());
        QVERIFY(kept.endsWith("filler line 39999\nlast words\n"));
        QVERIFY(kept.size() > WorkerProcess::errorTailBytes - 100); // no more cut than one line
    }
    QCOMPARE(w.process.readAllStandardError(), QByteArray());
}

void WorkerProcessTest::floodOnStandardOutputIsNotKept()
{
    Worker w;
    QVERIFY(w.claim);
    QVERIFY(w.dir.writeWorker("worker.bat", WorkerSteps()
                                                .repeat(WorkerSteps::Out, 30000000, QByteArray(1, '\0'))
                                                .complain("done\n")
                                                .write("flooded", "")
                                                .hang()));
    w.process.startScript(QStringLiteral("worker.bat"));
    QTRY_VERIFY_WITH_TIMEOUT(w.dir.exists("flooded"), 10000);
    QTest::qWait(300); // the event loop would have read whatever was there to read
    QCOMPARE(w.process.state(), QProcess::Running);
    QCOMPARE(w.process.bytesAvailable(), qint64(0));
    QCOMPARE(w.process.readAllStandardOutput(), QByteArray());
    QCOMPARE(w.process.errorTail(), QByteArray("done\n"));
}

void WorkerProcessTest::endTreeEndsWhatTheScriptStarted()
{
    Worker w;
    QVERIFY(w.claim);
    QVERIFY(w.dir.writeWorker("worker.bat",
                              WorkerSteps().spawn(WorkerSteps().hang(), WorkerSteps::Inherited, "child.pid").hang()));
    w.process.startScript(QStringLiteral("worker.bat"));
    QTRY_VERIFY_WITH_TIMEOUT(!w.dir.read("child.pid").trimmed().isEmpty(), 5000);
    const qint64 child = w.dir.read("child.pid").trimmed().toLongLong();
    QVERIFY(ProcessProbe::isRunning(child));

    w.process.endTree();
    QVERIFY(w.process.waitForFinished(5000));
    QTRY_VERIFY_WITH_TIMEOUT(!ProcessProbe::isRunning(child), 3000);
}

QTEST_MAIN(WorkerProcessTest)
#include "tst_workerprocess.moc"
