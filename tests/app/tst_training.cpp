#include "debuglog.h"
#include "processprobe.h"
#include "runfixture.h"

#include <QElapsedTimer>
#include <QProgressBar>

namespace {

const QString progressFile = QStringLiteral("计数.txt");

// A worker that reports `content` as its progress and then keeps running.
WorkerSteps reportingWorker(const QByteArray &content)
{
    return WorkerSteps().write(progressFile, content).hang();
}

} // namespace

class TrainingTest : public QObject
{
    Q_OBJECT

private slots:
    // Refusals
    void refusesWithoutReviewFile();
    void refusesWithoutLabelFile();
    void refusesDeletedReviewFile();
    void refusesWhileRunning();

    // Staging
    void stagesFreshByteCopies();
    void acceptsTheWorkDirectorysOwnInputs();
    void ignoresStaleStagingCopies();
    void failedStagingCopyKeepsEverything();
    void keepsTheUsersFileInTheStagingPlace_data();
    void keepsTheUsersFileInTheStagingPlace();

    // Progress
    void progressValues_data();
    void progressValues();
    void missingProgressFileChangesNothing();
    void completion_data();
    void completion();
    void secondRunKeepsFullBarUntilNewProgress();

    // Workers that fail
    void missingScriptEndsTheRun();
    void scriptWithoutExecuteBitRunsThroughShell();
    void workerExitingWithoutEndSignalShowsItsMessage();
    void workerMessageNamesTheChosenFiles_data();
    void workerMessageNamesTheChosenFiles();
    void workerThatFinishesAtOnceCompletesOnce();
    void workerFloodingItsOutputLeavesTheWindowsMemoryFlat();

    void closingTheWindowLeavesTheWorkerRunning();
};

void TrainingTest::refusesWithoutReviewFile()
{
    RunFixture f;
    f.startTraining();
    QVERIFY(f.modals.waitForSeen(1));
    QCOMPARE(f.lastBox().title, QStringLiteral("选择点评内容文件"));
    QCOMPARE(f.lastBox().text, QStringLiteral("请先选择点评内容文件"));
    QCOMPARE(f.lastBox().buttons, QStringList{"Yes"});
    QCOMPARE(f.lastBox().parent, &f.window);
    QVERIFY(!MainWindowProbe::trainProcess(f.window));
    QCOMPARE(f.dir.entries(), QStringList());
}

void TrainingTest::refusesWithoutLabelFile()
{
    RunFixture f;
    QVERIFY(f.dir.write("r.txt", "good\n"));
    f.modals.answerFileDialog({f.dir.filePath("r.txt")});
    QTest::mouseClick(f.ui()->button_file, Qt::LeftButton);
    QVERIFY(f.modals.waitForSeen(1));
    f.startTraining();
    QVERIFY(f.modals.waitForSeen(2));
    QCOMPARE(f.lastBox().title, QStringLiteral("选择点评标签文件"));
    QCOMPARE(f.lastBox().text, QStringLiteral("请先选择点评标签文件"));
    QCOMPARE(f.dir.entries(), QStringList{"r.txt"});
}

void TrainingTest::refusesDeletedReviewFile()
{
    RunFixture f;
    QVERIFY(f.dir.write("r.txt", "good\n"));
    QVERIFY(f.dir.write("l.txt", "positive\n"));
    QVERIFY(f.chooseInputs(f.dir.filePath("r.txt"), f.dir.filePath("l.txt")));
    QVERIFY(QFile::remove(f.dir.filePath("r.txt")));
    f.startTraining();
    QVERIFY(f.modals.waitForSeen(3));
    QCOMPARE(f.lastBox().title, QStringLiteral("选择点评内容文件"));
    QCOMPARE(f.dir.entries(), QStringList{"l.txt"});
}

void TrainingTest::refusesWhileRunning()
{
    RunFixture f;
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().hang()));
    QVERIFY(f.dir.write("r.txt", "good\n"));
    QVERIFY(f.dir.write("l.txt", "positive\n"));
    QVERIFY(f.startTraining(f.dir.filePath("r.txt"), f.dir.filePath("l.txt")));
    QVERIFY(MainWindowProbe::trainProcess(f.window));
    QProcess *running = MainWindowProbe::trainProcess(f.window);
    f.ui()->progressBar->setValue(42);

    QVERIFY(f.dir.write("r.txt", "changed\n"));
    const QStringList before = f.dir.entries();
    f.startTraining();
    QVERIFY(f.modals.waitForSeen(3));
    QCOMPARE(f.lastBox().title, QStringLiteral("请等待进程关闭"));
    QCOMPARE(f.lastBox().text, QStringLiteral("训练进程正在运行。神经网络计算量较大，请耐心等待。"));
    QCOMPARE(MainWindowProbe::trainProcess(f.window), running);
    QCOMPARE(f.dir.entries(), before);
    QCOMPARE(f.dir.read("reviews.txt"), QByteArray("good\n"));
    QCOMPARE(f.ui()->progressBar->value(), 42);
}

void TrainingTest::stagesFreshByteCopies()
{
    RunFixture f;
    // The worker records what it finds when it starts.
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps()
                                             .replace("seen.part", "")
                                             .catenate("reviews.txt", "seen.part")
                                             .catenate("labels.txt", "seen.part")
                                             .noteIfExists(progressFile, "seen.part")
                                             .list("temp", "seen.part")
                                             .rename("seen.part", "seen.txt")
                                             .hang()));
    const QByteArray reviews("第一条\r\nsecond \xff\x00 bytes\n", 24);
    QVERIFY(f.dir.write("in/r.txt", QByteArray()) || QDir(f.dir.path()).mkpath("in"));
    QVERIFY(f.dir.write("in/r.txt", reviews));
    QVERIFY(f.dir.write("in/l.txt", "positive\nnegative"));
    QVERIFY(f.dir.write("reviews.txt", "old reviews\n"));
    QVERIFY(f.dir.write("labels.txt", "old labels\n"));
    QVERIFY(f.dir.write(progressFile, "1"));
    QVERIFY(f.startTraining(f.dir.filePath("in/r.txt"), f.dir.filePath("in/l.txt")));
    QVERIFY(MainWindowProbe::trainProcess(f.window));
    QCOMPARE(MainWindowProbe::pollTimer(f.window)->interval(), 500);
    QCOMPARE(MainWindowProbe::pollTimer(f.window)->parent(), &f.window);
    QTRY_VERIFY_WITH_TIMEOUT(f.dir.exists("seen.txt"), 5000);
    QTest::qWait(100);
    QCOMPARE(f.dir.read("reviews.txt"), reviews);
    QCOMPARE(f.dir.read("labels.txt"), QByteArray("positive\nnegative"));
    QCOMPARE(f.dir.read("seen.txt"), reviews + "positive\nnegative");
    QVERIFY(QFileInfo(f.dir.filePath("temp")).isDir());
    QCOMPARE(f.boxCount(), 0);
}

void TrainingTest::acceptsTheWorkDirectorysOwnInputs()
{
    RunFixture f;
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().hang()));
    QVERIFY(f.dir.write("reviews.txt", "my own reviews\n"));
    QVERIFY(f.dir.write("labels.txt", "my own labels\n"));
    QVERIFY(f.startTraining(f.dir.filePath("reviews.txt"), f.dir.filePath("labels.txt")));
    QVERIFY(MainWindowProbe::trainProcess(f.window));
    QCOMPARE(f.dir.read("reviews.txt"), QByteArray("my own reviews\n"));
    QCOMPARE(f.dir.read("labels.txt"), QByteArray("my own labels\n"));
    QCOMPARE(QDir(f.dir.filePath("temp")).entryList(QDir::Files), QStringList());
}

void TrainingTest::ignoresStaleStagingCopies()
{
    RunFixture f;
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().hang()));
    QVERIFY(QDir(f.dir.path()).mkdir("temp"));
    QVERIFY(f.dir.write("temp/reviews.txt", "left by an interrupted start\n"));
    QVERIFY(f.dir.write("temp/labels.txt", "stale\n"));
    QVERIFY(f.dir.write("r.txt", "chosen\n"));
    QVERIFY(f.dir.write("l.txt", "positive\n"));
    QVERIFY(f.startTraining(f.dir.filePath("r.txt"), f.dir.filePath("l.txt")));
    QVERIFY(MainWindowProbe::trainProcess(f.window));
    QCOMPARE(f.dir.read("reviews.txt"), QByteArray("chosen\n"));
    QCOMPARE(f.dir.read("labels.txt"), QByteArray("positive\n"));
}

void TrainingTest::failedStagingCopyKeepsEverything()
{
    RunFixture f;
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().write("started", "").hang()));
    // A non-empty directory where the staged copy belongs can be neither
    // removed nor written over, so staging fails.
    QVERIFY(QDir(f.dir.path()).mkpath("temp/reviews.txt/keep"));
    QVERIFY(f.dir.write("reviews.txt", "my own reviews\n"));
    QVERIFY(f.dir.write("labels.txt", "old labels\n"));
    QVERIFY(f.dir.write(progressFile, "0.5"));
    QVERIFY(f.dir.write("l.txt", "positive\n"));
    QVERIFY(f.startTraining(f.dir.filePath("reviews.txt"), f.dir.filePath("l.txt")));
    QVERIFY(f.modals.waitForSeen(3));
    QCOMPARE(f.lastBox().title, QStringLiteral("无法准备训练数据"));
    QVERIFY(!MainWindowProbe::trainProcess(f.window));
    QCOMPARE(f.dir.read("reviews.txt"), QByteArray("my own reviews\n"));
    QCOMPARE(f.dir.read("labels.txt"), QByteArray("old labels\n"));
    QCOMPARE(f.dir.read(progressFile), QByteArray("0.5"));
    QTest::qWait(600);
    QVERIFY(!f.dir.exists("started"));
}

void TrainingTest::keepsTheUsersFileInTheStagingPlace_data()
{
    QTest::addColumn<QString>("userFile"); // there before the start; must be kept
    QTest::addColumn<QString>("reviews");  // the chosen review file
    QTest::newRow("chosen file inside temp") << "temp/reviews.txt" << "temp/reviews.txt";
    QTest::newRow("chosen file named temp") << "temp" << "temp";
    QTest::newRow("another file named temp") << "temp" << "r.txt";
}

void TrainingTest::keepsTheUsersFileInTheStagingPlace()
{
    QFETCH(QString, userFile);
    QFETCH(QString, reviews);
    RunFixture f;
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().write("started", "").hang()));
    QVERIFY(QDir(f.dir.path()).mkpath(QFileInfo(userFile).path()));
    QVERIFY(f.dir.write(userFile, "the only copy\n"));
    QVERIFY(f.dir.write("r.txt", "x\n"));
    QVERIFY(f.dir.write("l.txt", "positive\n"));
    QVERIFY(f.startTraining(f.dir.filePath(reviews), f.dir.filePath("l.txt")));
    QVERIFY(f.modals.waitForSeen(3));
    QCOMPARE(f.lastBox().title, QStringLiteral("无法准备训练数据"));
    QVERIFY2(f.lastBox().text.contains(QStringLiteral("移到别处")), qPrintable(f.lastBox().text));
    QCOMPARE(f.dir.read(userFile), QByteArray("the only copy\n"));
    QVERIFY(!MainWindowProbe::trainProcess(f.window));
    QTest::qWait(600);
    QVERIFY(!f.dir.exists("started"));
}

void TrainingTest::progressValues_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("bar");       // -1: the bar keeps its earlier value
    QTest::addColumn<QString>("logged");

    QTest::newRow("quarter") << QByteArray("0.25") << 25 << "0.25";
    QTest::newRow("almost") << QByteArray("0.999") << 99 << "0.999";
    QTest::newRow("two numbers") << QByteArray("0.5 0.7") << 50 << "0.5";
    QTest::newRow("blanks first") << QByteArray("\n  0.3\n") << 30 << "0.3";
    QTest::newRow("empty") << QByteArray() << 0 << "0";
    QTest::newRow("word") << QByteArray("done") << 0 << "0";
    QTest::newRow("just above 1") << QByteArray("1.00001") << 100 << "1.00001";
    QTest::newRow("one and a half") << QByteArray("1.5") << -1 << "1.5";
    QTest::newRow("negative") << QByteArray("-0.5") << -1 << "-0.5";
    QTest::newRow("huge") << QByteArray("1e300") << -1 << "1e+300";
    QTest::newRow("not a number") << QByteArray("nan") << -1 << "nan";
}

void TrainingTest::progressValues()
{
    QFETCH(QByteArray, content);
    QFETCH(int, bar);
    QFETCH(QString, logged);

    RunFixture f;
    DebugLog log;
    QVERIFY(f.writeWorker("emotion.bat", reportingWorker(content)));
    QVERIFY(f.chooseSomeInputs());
    f.ui()->progressBar->setValue(37);
    f.startTraining();

    QTRY_VERIFY_WITH_TIMEOUT(!log.lines().isEmpty(), 5000);
    const DebugLog::Line first = log.lines().first();
    QCOMPARE(first.message, logged);
    QCOMPARE(first.function, QStringLiteral("void MainWindow::check()"));
    QCOMPARE(first.category, QStringLiteral("default"));
    QCOMPARE(f.ui()->progressBar->value(), bar < 0 ? 37 : bar);
    // Polling goes on: the run is not complete.
    QTRY_VERIFY_WITH_TIMEOUT(log.lines().size() >= 2, 5000);
    QVERIFY(MainWindowProbe::trainProcess(f.window));
    QCOMPARE(f.boxCount(), 0);
}

void TrainingTest::missingProgressFileChangesNothing()
{
    RunFixture f;
    DebugLog log;
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().hang()));
    QVERIFY(f.chooseSomeInputs());
    f.ui()->progressBar->setValue(37);
    f.startTraining();
    QTest::qWait(1300);
    QVERIFY(log.lines().isEmpty());
    QCOMPARE(f.ui()->progressBar->value(), 37);
    QVERIFY(MainWindowProbe::trainProcess(f.window));
}

void TrainingTest::completion_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("1") << QByteArray("1");
    QTest::newRow("1.0000005") << QByteArray("1.0000005");
    QTest::newRow("0.9999995") << QByteArray("0.9999995");
}

void TrainingTest::completion()
{
    QFETCH(QByteArray, content);
    RunFixture f;
    DebugLog log;
    // The worker keeps running after its end signal, as a slow one would.
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().sleep(700).write(progressFile, content).sleep(1000)));
    QVERIFY(f.startSomeTraining());
    QTimer *timer = MainWindowProbe::pollTimer(f.window);

    QVERIFY(f.modals.waitForSeen(3, 8000));
    QCOMPARE(f.lastBox().title, QStringLiteral("训练完成"));
    QCOMPARE(f.lastBox().text, QStringLiteral("神经网络已经训练完成"));
    QTRY_VERIFY_WITH_TIMEOUT(!MainWindowProbe::trainProcess(f.window), 5000);
    QCOMPARE(f.ui()->progressBar->value(), 100);
    QVERIFY(!timer->isActive());
    QTest::qWait(1500); // no second box, no failure box after the worker exits
    QCOMPARE(f.boxCount(), 1);
    for (const DebugLog::Line &line : log.lines())
        QVERIFY2(line.message != QLatin1String("1"), "the end signal is not logged");
}

void TrainingTest::secondRunKeepsFullBarUntilNewProgress()
{
    RunFixture f;
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().write(progressFile, "1")));
    QVERIFY(f.startSomeTraining());
    QVERIFY(f.modals.waitForSeen(3, 8000));
    QTRY_VERIFY_WITH_TIMEOUT(!MainWindowProbe::trainProcess(f.window), 5000);

    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().sleep(1200).write(progressFile, "0.4").hang()));
    f.startTraining();
    QVERIFY(MainWindowProbe::trainProcess(f.window));
    QVERIFY(!f.dir.exists(progressFile));
    QTest::qWait(700);
    QCOMPARE(f.ui()->progressBar->value(), 100);
    QTRY_COMPARE_WITH_TIMEOUT(f.ui()->progressBar->value(), 40, 5000);
    QCOMPARE(f.boxCount(), 1);
}

void TrainingTest::missingScriptEndsTheRun()
{
    RunFixture f;
    // A same-named program on PATH must never be picked up instead.
    QVERIFY(QDir(f.dir.path()).mkdir("bin"));
    QVERIFY(f.writeWorker("bin/emotion.bat", WorkerSteps().write("from-path", "").write(progressFile, "1")));
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QDir::toNativeSeparators(f.dir.filePath("bin")).toLocal8Bit() + QDir::listSeparator().toLatin1()
                        + oldPath);
    QVERIFY(f.startSomeTraining());
    const bool seen = f.modals.waitForSeen(3, 5000);
    qputenv("PATH", oldPath);
    QVERIFY(seen);
    QCOMPARE(f.lastBox().title, QStringLiteral("训练未完成"));
    QVERIFY2(f.lastBox().text.contains(QStringLiteral("emotion.bat")), qPrintable(f.lastBox().text));
    QVERIFY(!MainWindowProbe::trainProcess(f.window));
    QVERIFY(!f.dir.exists("from-path"));

    // A new start is accepted once the script is there.
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().write(progressFile, "1")));
    f.startTraining();
    QVERIFY(f.modals.waitForSeen(4, 8000));
    QCOMPARE(f.lastBox().title, QStringLiteral("训练完成"));
}

void TrainingTest::scriptWithoutExecuteBitRunsThroughShell()
{
    RunFixture f;
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().write(progressFile, "1"), /*executable=*/false));
    QVERIFY(f.startSomeTraining());
    QVERIFY(f.modals.waitForSeen(3, 8000));
    QCOMPARE(f.lastBox().title, QStringLiteral("训练完成"));
}

void TrainingTest::workerExitingWithoutEndSignalShowsItsMessage()
{
    RunFixture f;
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps()
                                             .write(progressFile, "0.3")
                                             .complain("错误：labels.txt 第 3 行：未知标签 \"maybe\"\n")
                                             .complain("error: labels.txt line 3: unknown label \"maybe\"\n")
                                             .exit(2)));
    QVERIFY(f.startSomeTraining());
    QVERIFY(f.modals.waitForSeen(3, 5000));
    const ModalHandler::Seen box = f.lastBox();
    QCOMPARE(box.title, QStringLiteral("训练未完成"));
    QVERIFY2(box.text.contains(QStringLiteral("第 3 行：未知标签")), qPrintable(box.text));
    QVERIFY2(box.text.contains(QStringLiteral("line 3: unknown label")), qPrintable(box.text));
    QCOMPARE(box.buttons, QStringList{"Yes"});
    QVERIFY(!MainWindowProbe::trainProcess(f.window));
    QCOMPARE(f.ui()->progressBar->value(), 30); // the last look read the progress
    QTest::qWait(700);
    QCOMPARE(f.boxCount(), 1);
}

void TrainingTest::workerMessageNamesTheChosenFiles_data()
{
    QTest::addColumn<QString>("reviews"); // chosen, in the work directory
    QTest::addColumn<QString>("labels");
    QTest::addColumn<QByteArray>("message"); // the worker's, on standard error
    QTest::addColumn<QStringList>("shown");   // each in the box
    QTest::addColumn<QStringList>("unshown"); // none in the box

    const QByteArray lineFive = "reviews.txt 第 5 行：这一行太长\nreviews.txt line 5: line too long";
    QTest::newRow("review file")
        << "评价内容.txt" << "评价标签.txt" << lineFive
        << QStringList{"评价内容.txt 第 5 行：", "评价内容.txt line 5:"} << QStringList{"reviews.txt", "评价标签.txt"};
    // Her review file chosen as the label file: the worker's "labels.txt" is it.
    QTest::newRow("swapped files")
        << "评价标签.txt" << "评价内容.txt" << QByteArray("labels.txt line 1: unknown label \"很好吃\"")
        << QStringList{"评价内容.txt line 1: unknown label"} << QStringList{"labels.txt", "评价标签.txt"};
    QTest::newRow("both files")
        << "r.txt" << "l.txt"
        << QByteArray("reviews.txt line 3: this review has no label: labels.txt has 2 labels but reviews.txt has 3 reviews")
        << QStringList{"r.txt line 3: this review has no label: l.txt has 2 labels but r.txt has 3 reviews"}
        << QStringList{"reviews.txt", "labels.txt"};
    QTest::newRow("one file for both")
        << "评价.txt" << "评价.txt" << QByteArray("reviews.txt: every review is a label word")
        << QStringList{"评价.txt: every review"} << QStringList{"reviews.txt"};
    QTest::newRow("one name in two folders")
        << "a/data.txt" << "b/data.txt" << QByteArray("labels.txt line 2: unknown label")
        << QStringList{QDir::toNativeSeparators("b/data.txt line 2")} << QStringList{"a/data.txt", "labels.txt"};
    // Replaced in one pass: the chosen name is not taken for a staged one.
    QTest::newRow("chosen name holds a staged name")
        << "old labels.txt" << "l.txt" << QByteArray("reviews.txt line 2: line too long")
        << QStringList{"old labels.txt line 2"} << QStringList{"old l.txt", "reviews.txt"};
    QTest::newRow("other names stay")
        << "r.txt" << "l.txt" << QByteArray("temp/reviews.txt and myreviews.txt and test.txt")
        << QStringList{"temp/reviews.txt and myreviews.txt and test.txt"} << QStringList{"r.txt and"};
}

void TrainingTest::workerMessageNamesTheChosenFiles()
{
    QFETCH(QString, reviews);
    QFETCH(QString, labels);
    QFETCH(QByteArray, message);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, unshown);
    RunFixture f;
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().complain(message + "\n").exit(1)));
    for (const QString &name : {reviews, labels}) {
        QVERIFY(QDir(f.dir.path()).mkpath(QFileInfo(name).path()));
        QVERIFY(f.dir.write(name, "x\n"));
    }
    QVERIFY(f.startTraining(f.dir.filePath(reviews), f.dir.filePath(labels)));
    QVERIFY(f.modals.waitForSeen(3, 5000));
    const QString text = f.lastBox().text;
    QCOMPARE(f.lastBox().title, QStringLiteral("训练未完成"));
    for (const QString &piece : shown)
        QVERIFY2(text.contains(piece), qPrintable(piece + QStringLiteral(" not in: ") + text));
    for (const QString &piece : unshown)
        QVERIFY2(!text.contains(piece), qPrintable(piece + QStringLiteral(" in: ") + text));
}

void TrainingTest::workerThatFinishesAtOnceCompletesOnce()
{
    RunFixture f;
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().write(progressFile, "1").exit(0)));
    QVERIFY(f.startSomeTraining());
    QVERIFY(f.modals.waitForSeen(3, 5000));
    QCOMPARE(f.lastBox().title, QStringLiteral("训练完成"));
    QTest::qWait(1200);
    QCOMPARE(f.boxCount(), 1);
    QVERIFY(!MainWindowProbe::trainProcess(f.window));
}

// 200 MB on standard output and 60 MB on standard error: the window keeps
// neither, beyond the end of standard error, so its memory stays flat.
void TrainingTest::workerFloodingItsOutputLeavesTheWindowsMemoryFlat()
{
    RunFixture f;
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer keeps freed memory in quarantine, so the resident size cannot show what the window "
          "holds; the release build checks it");
#endif
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps()
                                             .repeat(WorkerSteps::Out, 9000000, "a verbose worker line\n")
                                             .repeat(WorkerSteps::Err, 2500000, "a verbose error line\n")
                                             .write("计数.txt", "0.5")
                                             .hang()));
    const qint64 before = ProcessProbe::ownResidentBytes();
    if (before < 0)
        QSKIP("this system does not tell a process's memory");
    QVERIFY(f.startSomeTraining());
    QTRY_COMPARE_WITH_TIMEOUT(f.ui()->progressBar->value(), 50, 120000);
    const qint64 grown = ProcessProbe::ownResidentBytes() - before;
    QVERIFY2(grown < 32 * 1024 * 1024, qPrintable(QStringLiteral("grew by %1 MB").arg(grown >> 20)));
    QCOMPARE(f.boxCount(), 0);
}

void TrainingTest::closingTheWindowLeavesTheWorkerRunning()
{
    TestWorkDir dir;
    QVERIFY(dir.writeWorker("emotion.bat", WorkerSteps().sleep(1000).write("survived", "").hang()));
    QVERIFY(QFile::setPermissions(dir.filePath("emotion.bat"), QFile::ReadOwner | QFile::ExeOwner));
    QVERIFY(dir.write("r.txt", "x\n"));
    QVERIFY(dir.write("l.txt", "positive\n"));

    auto *window = new MainWindow;
    window->show();
    ModalHandler modals;
    modals.answerFileDialog({dir.filePath("r.txt")});
    modals.answerFileDialog({dir.filePath("l.txt")});
    QTest::mouseClick(MainWindowProbe::form(*window)->button_file, Qt::LeftButton);
    QTest::mouseClick(MainWindowProbe::form(*window)->pushButton_2, Qt::LeftButton);
    QVERIFY(modals.waitForSeen(2));
    QTest::mouseClick(MainWindowProbe::form(*window)->pushButton_4, Qt::LeftButton);
    QProcess *worker = MainWindowProbe::trainProcess(*window);
    QVERIFY(worker);

    // Closing and destroying the window neither kills nor waits for its worker.
    window->close();
    QElapsedTimer clock;
    clock.start();
    delete window;
    QVERIFY(clock.elapsed() < 900);
    QVERIFY(worker->state() != QProcess::NotRunning);
    QTRY_VERIFY_WITH_TIMEOUT(dir.exists("survived"), 5000);
    QCOMPARE(modals.boxes().size(), 0);
    RunFixture::endWorker(worker);
    delete worker;
}

QTEST_MAIN(TrainingTest)
#include "tst_training.moc"
