#include "exchangefiles.h"
#include "runclaim.h"
#include "runfixture.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>

// A run's claim on its exchange files lasts as long as its worker and what
// the worker leaves behind, and only the end signal of its own worker
// completes a run, however the worker goes about its work.
class RunClaimTest : public QObject
{
    Q_OBJECT

private slots:
    void claimOutlivesTheWindow();
    void leftoverOfAFailedRunIsEnded_data();
    void leftoverOfAFailedRunIsEnded();
    void detachedWorkerCompletes_data();
    void detachedWorkerCompletes();
    void cleanExitWithoutSignalFailsAfterGrace();
    void graceLastsWhileFilesChange();
};

void RunClaimTest::claimOutlivesTheWindow()
{
    RunFixture f;
    QVERIFY(f.writeWorker("emotion.bat",
                          WorkerSteps().write("计数.txt", "0.5").sleep(2000).write("计数.txt", "1").sleep(300)));
    auto *first = new MainWindow;
    first->show();
    QVERIFY(f.dir.write("r.txt", "x\n") && f.dir.write("l.txt", "positive\n"));
    QVERIFY(f.chooseInputs(*first, f.dir.filePath("r.txt"), f.dir.filePath("l.txt")));
    f.startTraining(*first);
    QProcess *firstWorker = MainWindowProbe::trainProcess(*first);
    QVERIFY(firstWorker);
    first->close();
    delete first; // the worker goes on, as users expect

    // A new window in the same directory must wait for that worker.
    QVERIFY(f.startTraining(f.dir.filePath("r.txt"), f.dir.filePath("l.txt")));
    QVERIFY(f.modals.waitForSeen(5));
    QCOMPARE(f.lastBox().title, QStringLiteral("请等待进程关闭"));
    QCOMPARE(f.lastBox().text, QStringLiteral("上一次训练仍在进行，请等它结束后再开始训练。"));
    QVERIFY(!MainWindowProbe::trainProcess(f.window));

    QVERIFY(firstWorker->waitForFinished(10000));
    delete firstWorker;
    // wine closes an ended process's handles a few milliseconds after it
    // tells of the end (8 ms seen), where Windows closes them first.
    const auto claimIsFree = [] {
        RunClaim::Outcome outcome;
        return RunClaim::take(ExchangeFiles::trainingLock, &outcome) != nullptr;
    };
    QTRY_VERIFY_WITH_TIMEOUT(claimIsFree(), 2000);
    // Now it may train, and only its own worker's signal completes its run.
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().write("计数.txt", "0.25").sleep(20000)));
    f.startTraining();
    QVERIFY2(MainWindowProbe::trainProcess(f.window), qPrintable(f.lastBox().title + ": " + f.lastBox().text));
    QTRY_COMPARE_WITH_TIMEOUT(f.ui()->progressBar->value(), 25, 3000);
    QCOMPARE(f.boxCount(), 1); // only the refusal above
}

void RunClaimTest::leftoverOfAFailedRunIsEnded_data()
{
    QTest::addColumn<bool>("training");
    QTest::newRow("training") << true;
    QTest::newRow("test") << false;
}

void RunClaimTest::leftoverOfAFailedRunIsEnded()
{
    QFETCH(bool, training);
    RunFixture f;
    const QString script = training ? "emotion.bat" : "test.bat";
    // The script fails, but a child it started would signal the end later.
    const WorkerSteps signal = training ? WorkerSteps().write("计数.txt", "1")
                                        : WorkerSteps().write("percent.txt", "99").write("out.txt", "stale\n");
    QVERIFY(f.writeWorker(script, WorkerSteps().spawn(WorkerSteps().sleep(1200).then(signal)).exit(3)));
    const auto start = [&] { training ? f.startTraining() : f.startTest(); };
    if (training)
        QVERIFY(f.chooseSomeInputs());
    const int before = f.boxCount();
    start();
    QTRY_COMPARE_WITH_TIMEOUT(f.boxCount(), before + 1, 5000);
    QCOMPARE(f.lastBox().title, training ? QStringLiteral("训练未完成") : QStringLiteral("测试未完成"));

    // The next run is its own: the old child may not end it.
    QVERIFY(f.writeWorker(script, training ? WorkerSteps().write("计数.txt", "0.5").sleep(20000)
                                           : WorkerSteps().sleep(20000)));
    start();
    QVERIFY(training ? MainWindowProbe::trainProcess(f.window) : MainWindowProbe::testProcess(f.window));
    QTest::qWait(2000);
    QCOMPARE(f.boxCount(), before + 1);
    if (training)
        QCOMPARE(f.ui()->progressBar->value(), 50);
    else
        QVERIFY(!f.dir.exists("out.txt"));
}

void RunClaimTest::detachedWorkerCompletes_data()
{
    QTest::addColumn<bool>("training");
    QTest::newRow("training") << true;
    QTest::newRow("test") << false;
}

void RunClaimTest::detachedWorkerCompletes()
{
    QFETCH(bool, training);
    RunFixture f;
    // The script hands its work to the background and exits 0 at once.
    if (training) {
        QVERIFY(f.writeWorker("emotion.bat",
                              WorkerSteps().spawn(WorkerSteps().sleep(1500).write("计数.txt", "1"), WorkerSteps::Quiet)
                                  .exit(0)));
        QVERIFY(f.chooseSomeInputs());
    } else {
        const WorkerSteps result = WorkerSteps().sleep(1500).write("percent.txt", "75").write("out.txt", "ok\n");
        QVERIFY(f.writeWorker("test.bat", WorkerSteps().spawn(result, WorkerSteps::Quiet).exit(0)));
    }
    const int before = f.modals.seen.size();
    training ? f.startTraining() : f.startTest();
    QVERIFY(f.modals.waitForSeen(before + 1, 6000));
    QCOMPARE(f.lastBox().title, training ? QStringLiteral("训练完成") : QStringLiteral("测试完成"));
    if (!training)
        QCOMPARE(f.ui()->haopinglvLable->text(), QStringLiteral("好评率:75.00%"));
    QTRY_VERIFY_WITH_TIMEOUT(!MainWindowProbe::trainProcess(f.window) && !MainWindowProbe::testProcess(f.window),
                             3000);
}

void RunClaimTest::cleanExitWithoutSignalFailsAfterGrace()
{
    RunFixture f;
    QVERIFY(f.writeWorker("emotion.bat",
                          WorkerSteps().write("计数.txt", "0.2").complain("gave up quietly\n").exit(0)));
    QVERIFY(f.chooseSomeInputs());
    QElapsedTimer clock;
    clock.start();
    f.startTraining();
    QTest::qWait(3000);
    QCOMPARE(f.boxCount(), 0); // not yet a failure
    QVERIFY(MainWindowProbe::trainProcess(f.window));
    QVERIFY(f.modals.waitForSeen(3, 15000));
    QVERIFY(clock.elapsed() >= 10000);
    QCOMPARE(f.lastBox().title, QStringLiteral("训练未完成"));
    QVERIFY2(f.lastBox().text.contains(QStringLiteral("gave up quietly")), qPrintable(f.lastBox().text));
    QVERIFY(!MainWindowProbe::trainProcess(f.window));
    QCOMPARE(f.ui()->progressBar->value(), 20);
}

void RunClaimTest::graceLastsWhileFilesChange()
{
    RunFixture f;
    // 16 s of background work, progress every 4 s: longer than the grace
    // period, but never quiet for that long.
    WorkerSteps background;
    for (const char *step : {"0.2", "0.4", "0.6", "0.8"})
        background.sleep(4000).write("计数.txt", step);
    background.write("计数.txt", "1");
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().spawn(background, WorkerSteps::Quiet).exit(0)));
    QVERIFY(f.startSomeTraining());
    QVERIFY(f.modals.waitForSeen(3, 25000));
    QCOMPARE(f.lastBox().title, QStringLiteral("训练完成"));
}

QTEST_MAIN(RunClaimTest)
#include "tst_runclaim.moc"
