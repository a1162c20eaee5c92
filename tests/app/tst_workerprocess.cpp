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
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QByteArray>("tail");  // what is kept, when known exactly
    QTest::addColumn<QByteArray>("start"); // else how it begins

    QTest::newRow("a few lines") << QByteArray("echo 'one' >&2\necho '最后一行' >&2")
                                 << QByteArray("one\n最后一行\n") << QByteArray();
    QTest::newRow("a megabyte of lines")
        << QByteArray("i=0; while [ $i -lt 40000 ]; do echo \"filler line $i\"; i=$((i+1)); done >&2\n"
                      "echo 'last words' >&2")
        << QByteArray() << QByteArray("filler line ");
    QTest::newRow("a long line, then a short one")
        << QByteArray("head -c 200000 /dev/zero | tr '\\0' x >&2\necho >&2\necho 'last words' >&2")
        << QByteArray("last words\n") << QByteArray();
    QTest::newRow("one endless line")
        << QByteArray("head -c 200000 /dev/zero | tr '\\0' x >&2") << QByteArray(WorkerProcess::errorTailBytes, 'x')
        << QByteArray();
}

void WorkerProcessTest::errorTailIsBounded()
{
    QFETCH(QByteArray, script);
    QFETCH(QByteArray, tail);
    QFETCH(QByteArray, start);
    Worker w;
    QVERIFY(w.claim);
    QVERIFY(w.dir.writeScript("worker.sh", script));
    w.process.startScript(QStringLiteral("worker.sh"));
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
    QVERIFY(w.dir.writeScript("worker.sh", "head -c 30000000 /dev/zero\necho done >&2\ntouch flooded\nexec sleep 20"));
    w.process.startScript(QStringLiteral("worker.sh"));
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
    QVERIFY(w.dir.writeScript("worker.sh", "sleep 300 &\necho $! > child.pid\nwait"));
    w.process.startScript(QStringLiteral("worker.sh"));
    QTRY_VERIFY_WITH_TIMEOUT(!w.dir.read("child.pid").trimmed().isEmpty(), 5000);
    const qint64 child = w.dir.read("child.pid").trimmed().toLongLong();
    QVERIFY(ProcessProbe::isRunning(child));

    w.process.endTree();
    QVERIFY(w.process.waitForFinished(5000));
    QTRY_VERIFY_WITH_TIMEOUT(!ProcessProbe::isRunning(child), 3000);
}

QTEST_MAIN(WorkerProcessTest)
#include "tst_workerprocess.moc"
