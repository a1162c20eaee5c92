#include "processprobe.h"
#include "runfixture.h"
#include "smallfilesystem.h"

#include <QFileInfo>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QPushButton>
#include <QTextEdit>

// Faults injected into the window's runs: workers that hang, workers killed
// mid-training, a disk that fills up. Nothing may be lost and the window must
// stay usable after each.
class FaultTest : public QObject
{
    Q_OBJECT

private slots:
    void workerHangingAfterItsEndSignalIsEnded();
    void workerKilledDuringTrainingKeepsThePreviousModel();
    void fullDiskStartsNoTestRun();
    void twoWindowsShareOneWorkDirectory();
    void readOnlyWorkDirectoryStartsNothing();
};

namespace {

// Runs `sentiment test` on one line with the model in `dir`; true when the
// model loads and judges it.
bool modelIsUsable(const QString &dir)
{
    QFile input(dir + "/probe.txt");
    if (!input.open(QIODevice::WriteOnly) || input.write("good film\n") < 0)
        return false;
    input.close();
    QProcess tool;
    tool.setWorkingDirectory(dir);
    tool.start(dir + "/" + QFileInfo(QStringLiteral(SENTIMENT_BIN)).fileName(),
               {"test", "--input", "probe.txt", "--out", "probe-out.txt", "--percent", "probe-percent.txt"});
    return tool.waitForFinished(30000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

} // namespace

void FaultTest::workerHangingAfterItsEndSignalIsEnded()
{
    RunFixture f;
    // A child in the background hangs too.
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps()
                                             .write("计数.txt", "1")
                                             .spawn(WorkerSteps().hang(), WorkerSteps::Inherited, "child.pid")
                                             .hang()));
    QVERIFY(f.startSomeTraining());
    QProcess *worker = MainWindowProbe::trainProcess(f.window);
    QVERIFY(worker);
    const qint64 pid = worker->processId();
    QVERIFY(pid > 0);

    QVERIFY(f.modals.waitForSeen(3, 5000));
    QCOMPARE(f.lastBox().title, QStringLiteral("训练完成"));
    // The bounded wait (30 s) ends, the hanging worker is killed and released.
    QTRY_VERIFY_WITH_TIMEOUT(!MainWindowProbe::trainProcess(f.window), 40000);
    QVERIFY(!ProcessProbe::exists(pid)); // killed and reaped
    // The whole process group went with it.
    const QByteArray child = f.dir.read("child.pid").trimmed();
    QVERIFY(!child.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!ProcessProbe::isRunning(child.toLongLong()), 3000);
    QTest::qWait(100);
    QCOMPARE(f.boxCount(), 1);

    // The window takes a new start.
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().write("计数.txt", "1")));
    f.startTraining();
    QVERIFY(f.modals.waitForSeen(4, 5000));
    QCOMPARE(f.lastBox().title, QStringLiteral("训练完成"));
}

void FaultTest::workerKilledDuringTrainingKeepsThePreviousModel()
{
    RunFixture f;
    const QString scripts = QStringLiteral(WORKER_SCRIPTS_DIR);
    // "sentiment", or "sentiment.exe" on Windows, where the scripts look for it.
    QVERIFY(f.install(QStringLiteral(SENTIMENT_BIN), QFileInfo(QStringLiteral(SENTIMENT_BIN)).fileName()));
    QVERIFY(f.install(scripts + "/emotion.bat", "emotion.bat"));

    // A training set large enough that a kill lands mid-run.
    const QString samples = QStringLiteral(SAMPLE_DIR);
    QFile reviews(samples + "/sample-reviews.txt");
    QFile labels(samples + "/sample-labels.txt");
    QVERIFY(reviews.open(QIODevice::ReadOnly) && labels.open(QIODevice::ReadOnly));
    const QByteArray reviewBytes = reviews.readAll();
    const QByteArray labelBytes = labels.readAll();
    QByteArray bigReviews, bigLabels;
    for (int copy = 0; copy < 150; ++copy) {
        bigReviews += reviewBytes;
        bigLabels += labelBytes;
    }
    QVERIFY(f.dir.write("big-reviews.txt", bigReviews));
    QVERIFY(f.dir.write("big-labels.txt", bigLabels));
    QVERIFY(f.startTraining(f.dir.filePath("big-reviews.txt"), f.dir.filePath("big-labels.txt")));
    QVERIFY(f.modals.waitForSeen(3, 120000));
    QCOMPARE(f.lastBox().title, QStringLiteral("训练完成"));
    const QByteArray firstModel = f.dir.read("sentiment.model");
    QVERIFY(!firstModel.isEmpty());

    QRandomGenerator random(20261207);
    int seen = 3;
    for (int trial = 0; trial < 4; ++trial) {
        QTRY_VERIFY_WITH_TIMEOUT(!MainWindowProbe::trainProcess(f.window), 10000);
        f.startTraining();
        QProcess *worker = MainWindowProbe::trainProcess(f.window);
        QVERIFY(worker);
        QTest::qWait(random.bounded(50, 900));
        if (worker == MainWindowProbe::trainProcess(f.window))
            worker->kill();
        QVERIFY(f.modals.waitForSeen(++seen, 120000));
        const QString title = f.lastBox().title;
        // Killed in time: a failure box; otherwise training had finished.
        QVERIFY2(title == QStringLiteral("训练未完成") || title == QStringLiteral("训练完成"), qPrintable(title));
        const QByteArray model = f.dir.read("sentiment.model");
        // Same inputs and seed: a finished run writes the very same model,
        // and a killed one must leave the previous model whole.
        QCOMPARE(model, firstModel);
        QVERIFY(modelIsUsable(f.dir.path()));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!MainWindowProbe::trainProcess(f.window), 10000);
}

void FaultTest::fullDiskStartsNoTestRun()
{
    RunFixture f;
    SmallFileSystem small(f.dir.filePath("small"), f.dir.path(), "64k");
    if (!small.isMounted())
        QSKIP("cannot mount a small file system here (needs root, on Linux)");
    QDir::setCurrent(f.dir.filePath("small"));
    QVERIFY(f.writeScript("small/test.bat", "printf 50 > percent.txt\nprintf 'x\\n' > out.txt"));
    QVERIFY(f.dir.write("small/filler", QByteArray(56 * 1024, 'x')));

    f.startTest(QString(20000, QLatin1Char('a')));
    QVERIFY(f.modals.waitForSeen(1, 5000));
    QCOMPARE(f.lastBox().title, QStringLiteral("文件打开失败"));
    QCOMPARE(f.lastBox().text, QStringLiteral("请检查是否磁盘已满"));
    QVERIFY(!MainWindowProbe::testProcess(f.window));

    // Room again: the same text goes through whole.
    QVERIFY(QFile::remove(f.dir.filePath("small/filler")));
    f.startTest();
    QVERIFY(f.modals.waitForSeen(2, 5000));
    QCOMPARE(f.lastBox().title, QStringLiteral("测试完成"));
    QCOMPARE(f.dir.read("small/test.txt").size(), 20000);
}

void FaultTest::twoWindowsShareOneWorkDirectory()
{
    RunFixture f;
    MainWindow other;
    other.show();
    MainWindowForm *otherUi = MainWindowProbe::form(other);
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps()
                                             .copy("reviews.txt", "trained-on.txt")
                                             .write("计数.txt", "0.5")
                                             .sleep(2500)
                                             .write("计数.txt", "1")));
    QVERIFY(f.writeWorker("test.bat", WorkerSteps()
                                          .copy("test.txt", "tested.txt")
                                          .sleep(1000)
                                          .write("percent.txt", "50")
                                          .copy("test.txt", "out.txt")));
    QVERIFY(f.dir.write("first.txt", "the first window's reviews\n"));
    QVERIFY(f.dir.write("second.txt", "the second window's reviews\n"));
    QVERIFY(f.dir.write("labels-in.txt", "positive\n"));
    QVERIFY(f.chooseInputs(f.window, f.dir.filePath("first.txt"), f.dir.filePath("labels-in.txt")));
    QVERIFY(f.chooseInputs(other, f.dir.filePath("second.txt"), f.dir.filePath("labels-in.txt")));

    f.startTraining();
    QVERIFY(MainWindowProbe::trainProcess(f.window));

    // The second window may not restage the inputs under the running worker.
    f.startTraining(other);
    QVERIFY(f.modals.waitForSeen(5));
    QCOMPARE(f.lastBox().title, QStringLiteral("请等待进程关闭"));
    QCOMPARE(f.lastBox().text, QStringLiteral("上一次训练仍在进行，请等它结束后再开始训练。"));
    QCOMPARE(f.lastBox().parent, &other);
    QVERIFY(!MainWindowProbe::trainProcess(other));
    QCOMPARE(f.dir.read("reviews.txt"), QByteArray("the first window's reviews\n"));

    // A test run in the second window is fine; one in the first meanwhile is not.
    otherUi->test_txt->setPlainText(QStringLiteral("second window's test"));
    f.startTest(other);
    QVERIFY(MainWindowProbe::testProcess(other));
    f.startTest(QStringLiteral("first window's test"));
    QVERIFY(f.modals.waitForSeen(6));
    QCOMPARE(f.lastBox().title, QStringLiteral("请等待进程关闭"));
    QCOMPARE(f.lastBox().parent, &f.window);
    QVERIFY(!MainWindowProbe::testProcess(f.window));

    QVERIFY(f.modals.waitForSeen(7, 6000));
    QCOMPARE(f.lastBox().title, QStringLiteral("测试完成"));
    QCOMPARE(MainWindowProbe::form(other)->text_ans->toPlainText(), QStringLiteral("second window's test\n"));
    QVERIFY(f.modals.waitForSeen(8, 8000));
    QCOMPARE(f.lastBox().title, QStringLiteral("训练完成"));
    QCOMPARE(f.dir.read("trained-on.txt"), QByteArray("the first window's reviews\n"));
    QTRY_VERIFY_WITH_TIMEOUT(!MainWindowProbe::trainProcess(f.window), 5000);

    // Once the first window's run is over, the second may train.
    f.startTraining(other);
    QVERIFY(MainWindowProbe::trainProcess(other));
    QVERIFY(f.modals.waitForSeen(9, 8000));
    QCOMPARE(f.lastBox().title, QStringLiteral("训练完成"));
    QCOMPARE(f.dir.read("trained-on.txt"), QByteArray("the second window's reviews\n"));
    QTRY_VERIFY_WITH_TIMEOUT(!MainWindowProbe::trainProcess(other), 5000);
}

void FaultTest::readOnlyWorkDirectoryStartsNothing()
{
    RunFixture f;
    SmallFileSystem readOnly(f.dir.filePath("ro"), f.dir.path(), "256k");
    if (!readOnly.isMounted())
        QSKIP("cannot mount a file system here (needs root, on Linux)");
    QVERIFY(f.writeScript("ro/emotion.bat", "printf 1 > 计数.txt"));
    QVERIFY(f.writeScript("ro/test.bat", "printf 50 > percent.txt\nprintf 'x\\n' > out.txt"));
    QVERIFY(f.dir.write("ro/reviews.txt", "the user's own reviews\n"));
    QVERIFY(f.dir.write("ro/labels.txt", "positive\n"));
    QVERIFY(f.dir.write("ro/test.txt", "old test text\n"));
    QVERIFY(readOnly.makeReadOnly());
    QDir::setCurrent(f.dir.filePath("ro"));

    QVERIFY(f.startTraining(f.dir.filePath("ro/reviews.txt"), f.dir.filePath("ro/labels.txt")));
    QVERIFY(f.modals.waitForSeen(3, 5000));
    QCOMPARE(f.lastBox().title, QStringLiteral("无法开始训练"));
    QVERIFY2(f.lastBox().text.contains(QStringLiteral("无法在工作目录")), qPrintable(f.lastBox().text));
    QVERIFY(!MainWindowProbe::trainProcess(f.window));

    f.startTest();
    QVERIFY(f.modals.waitForSeen(4, 5000));
    QCOMPARE(f.lastBox().title, QStringLiteral("无法开始测试"));
    QVERIFY(!MainWindowProbe::testProcess(f.window));

    // Nothing was lost or changed.
    QCOMPARE(f.dir.read("ro/reviews.txt"), QByteArray("the user's own reviews\n"));
    QCOMPARE(f.dir.read("ro/labels.txt"), QByteArray("positive\n"));
    QCOMPARE(f.dir.read("ro/test.txt"), QByteArray("old test text\n"));
}

QTEST_MAIN(FaultTest)
#include "tst_faults.moc"
