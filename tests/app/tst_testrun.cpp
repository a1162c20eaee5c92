#include "debuglog.h"
#include "runfixture.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTextCodec>
#include <QTextEdit>

namespace {

// A test worker that writes the given rate and output, then exits.
QByteArray resultWorker(const QByteArray &percent, const QByteArray &out)
{
    return "printf '%s' '" + percent + "' > percent.txt\nprintf '%b' '" + out + "' > out.txt";
}

} // namespace

class TestRunTest : public QObject
{
    Q_OBJECT

private slots:
    void refusesWhileRunning();
    void writesTheBoxTextAsTestFile_data();
    void writesTheBoxTextAsTestFile();
    void showsOutputLineByLine_data();
    void showsOutputLineByLine();
    void showsALongOutputWholeWhileAnswering();
    void formatsTheRate_data();
    void formatsTheRate();
    void unreadableRateKeepsLabel();
    void staleRateIsNeverShown();
    void oldOutputIsRemovedBeforeTheWorkerStarts();

    void missingScriptEndsTheRun();
    void workerWithoutOutputShowsItsMessage_data();
    void workerWithoutOutputShowsItsMessage();
    void slowWorkerIsWaitedFor();

    void importCancelChangesNothing();
    void importKeepsTheFirstOfSeveralFiles();
    void importReadsLines_data();
    void importReadsLines();
    void importOfVanishedFileWarnsAndLeavesTheRun();

    void trainingAndTestRunsOverlap();
};

void TestRunTest::refusesWhileRunning()
{
    RunFixture f;
    QVERIFY(f.writeScript("test.bat", "exec sleep 20"));
    f.startTest();
    QProcess *running = MainWindowProbe::testProcess(f.window);
    QVERIFY(running);
    QTimer *timer = MainWindowProbe::pollTimer(f.window);
    QCOMPARE(timer->interval(), 500);

    f.startTest(QStringLiteral("changed"));
    QVERIFY(f.modals.waitForSeen(1));
    QCOMPARE(f.lastBox().title, QStringLiteral("请等待进程关闭"));
    QCOMPARE(f.lastBox().text, QStringLiteral("测试进程正在运行。神经网络计算量较大，请耐心等待。"));
    QCOMPARE(f.dir.read("test.txt"), QByteArray("It is a terrible movie\nI like it\nIt is a lovely hero"));
    QCOMPARE(MainWindowProbe::testProcess(f.window), running);
    QCOMPARE(MainWindowProbe::pollTimer(f.window), timer);
}

void TestRunTest::writesTheBoxTextAsTestFile_data()
{
    QTest::addColumn<QString>("text"); // null: the default sample text
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("default text") << QString() << QByteArray("It is a terrible movie\nI like it\nIt is a lovely hero");
    QTest::newRow("empty box") << QStringLiteral("") << QByteArray();
    QTest::newRow("chinese") << QStringLiteral("很好吃\n太难吃了") << QByteArray("很好吃\n太难吃了");
}

void TestRunTest::writesTheBoxTextAsTestFile()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    RunFixture f;
    QVERIFY(f.dir.write("test.txt", "a much longer old test text that must not survive\n"));
    QVERIFY(f.writeScript("test.bat", "cp test.txt seen.txt\n" + resultWorker("50", "x\\n")));
    if (text.isNull())
        f.startTest();
    else
        f.startTest(text);
    QVERIFY(f.modals.waitForSeen(1, 5000));
    QCOMPARE(f.lastBox().title, QStringLiteral("测试完成"));
    QCOMPARE(f.dir.read("test.txt"), bytes);
    QCOMPARE(f.dir.read("seen.txt"), bytes);
}

void TestRunTest::showsOutputLineByLine_data()
{
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty middle line") << QByteArray("a\\n\\nb\\n") << QStringLiteral("a\n\nb\n");
    QTest::newRow("no final break") << QByteArray("a\\n\\nb") << QStringLiteral("a\n\nb\n");
    QTest::newRow("crlf") << QByteArray("a\\r\\nb\\r\\n") << QStringLiteral("a\nb\n");
    QTest::newRow("0 bytes") << QByteArray() << QString();
    QTest::newRow("html-looking") << QByteArray("<b>bold</b> <br /> x\\nsecond &amp; line\\n")
                                  << QStringLiteral("<b>bold</b> <br /> x\nsecond &amp; line\n");
    QTest::newRow("chinese") << QByteArray("好评\\t0.93\\t很好吃\\n") << QStringLiteral("好评\t0.93\t很好吃\n");
}

void TestRunTest::showsOutputLineByLine()
{
    QFETCH(QByteArray, out);
    QFETCH(QString, shown);
    RunFixture f;
    DebugLog log;
    f.ui()->text_ans->setPlainText(QStringLiteral("previous output"));
    QVERIFY(f.writeScript("test.bat", resultWorker("12.5", out)));
    f.startTest();
    QVERIFY(f.modals.waitForSeen(1, 5000));
    QCOMPARE(f.lastBox().title, QStringLiteral("测试完成"));
    QCOMPARE(f.lastBox().text, QStringLiteral("测试已完成"));
    QCOMPARE(f.ui()->text_ans->toPlainText(), shown);
    QCOMPARE(f.ui()->text_ans->document()->blockCount(), shown.count(QLatin1Char('\n')) + 1);
    QCOMPARE(f.ui()->haopinglvLable->text(), QStringLiteral("好评率:12.50%"));
    QTRY_VERIFY_WITH_TIMEOUT(!MainWindowProbe::testProcess(f.window), 5000);
    QCOMPARE(log.lines().size(), 1);
    QCOMPARE(log.lines().first().function, QStringLiteral("void MainWindow::checkTestflie()"));
    QCOMPARE(log.lines().first().category, QStringLiteral("default"));
    QTest::qWait(700);
    QCOMPARE(f.boxCount(), 1);
}

// 300,000 lines laid out at once stalled the window for seconds at a time
// (500,000 for many minutes); shown a part at a time, the window keeps
// answering, and the whole output is there when the completion box shows.
void TestRunTest::showsALongOutputWholeWhileAnswering()
{
    RunFixture f;
    const int lines = 300000;
    QVERIFY(f.writeScript("test.bat", "printf 50 > percent.txt\n"
                                      "yes a | head -n " + QByteArray::number(lines) + " > out.part\n"
                                      "mv out.part out.txt"));
    QElapsedTimer sinceTick;
    qint64 longestStall = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { longestStall = qMax(longestStall, sinceTick.restart()); });
    QString shownAtBox;
    f.modals.beforeBoxAnswer = [&] { shownAtBox = f.ui()->text_ans->toPlainText(); };
    f.startTest();
    sinceTick.start();
    ticker.start(10);
    QVERIFY(f.modals.waitForSeen(1, 120000));
    ticker.stop();
    QCOMPARE(f.lastBox().title, QStringLiteral("测试完成"));
    QCOMPARE(shownAtBox.size(), 2 * lines);
    QCOMPARE(f.ui()->text_ans->toPlainText(), QStringLiteral("a\n").repeated(lines));
    QCOMPARE(f.ui()->haopinglvLable->text(), QStringLiteral("好评率:50.00%"));
    QVERIFY2(longestStall < 1000, qPrintable(QStringLiteral("the window stalled for %1 ms").arg(longestStall)));
    // Parts appended are no edits to undo.
    QVERIFY(!f.ui()->text_ans->document()->isUndoAvailable());
}

void TestRunTest::formatsTheRate_data()
{
    QTest::addColumn<QByteArray>("percent");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("logged");
    QTest::newRow("85.5") << QByteArray("85.5") << "好评率:85.50%" << "85.5";
    QTest::newRow("66.666") << QByteArray("66.666") << "好评率:66.67%" << "66.666";
    QTest::newRow("100") << QByteArray("100") << "好评率:100.00%" << "100";
    QTest::newRow("trailing text") << QByteArray("42.126 more text") << "好评率:42.13%" << "42.126";
    QTest::newRow("empty") << QByteArray() << "好评率:0.00%" << "0";
    QTest::newRow("a word") << QByteArray("abc") << "好评率:0.00%" << "0";
    QTest::newRow("fraction") << QByteArray("0.9") << "好评率:0.90%" << "0.9";
}

void TestRunTest::formatsTheRate()
{
    QFETCH(QByteArray, percent);
    QFETCH(QString, label);
    QFETCH(QString, logged);
    RunFixture f;
    DebugLog log;
    QVERIFY(f.writeScript("test.bat", resultWorker(percent, "x\\n")));
    f.startTest();
    QVERIFY(f.modals.waitForSeen(1, 5000));
    QCOMPARE(f.ui()->haopinglvLable->text(), label);
    QCOMPARE(log.messages(), QStringList{logged});
}

void TestRunTest::unreadableRateKeepsLabel()
{
    RunFixture f;
    f.ui()->haopinglvLable->setText(QStringLiteral("好评率:12.00%"));
    // A directory in its place cannot be opened as a file, even by root.
    QVERIFY(f.writeScript("test.bat", "mkdir percent.txt\nprintf 'new output\\n' > out.txt"));
    f.startTest();
    QVERIFY(f.modals.waitForSeen(1, 5000));
    QCOMPARE(f.lastBox().title, QStringLiteral("测试异常"));
    QCOMPARE(f.lastBox().text, QStringLiteral("请检查磁盘是否已满。"));
    QCOMPARE(f.ui()->text_ans->toPlainText(), QStringLiteral("new output\n"));
    QCOMPARE(f.ui()->haopinglvLable->text(), QStringLiteral("好评率:12.00%"));
    QTRY_VERIFY_WITH_TIMEOUT(!MainWindowProbe::testProcess(f.window), 5000);
    QTest::qWait(700);
    QCOMPARE(f.boxCount(), 1);
}

void TestRunTest::staleRateIsNeverShown()
{
    RunFixture f;
    QVERIFY(f.dir.write("percent.txt", "55"));
    QVERIFY(f.writeScript("test.bat", "printf 'x\\n' > out.txt\nexec sleep 20"));
    f.startTest();
    QVERIFY(f.modals.waitForSeen(1, 5000));
    QCOMPARE(f.lastBox().title, QStringLiteral("测试异常"));
    QVERIFY(f.ui()->haopinglvLable->text().isEmpty());
}

void TestRunTest::oldOutputIsRemovedBeforeTheWorkerStarts()
{
    RunFixture f;
    QVERIFY(f.dir.write("out.txt", "old output\n"));
    QVERIFY(f.writeScript("test.bat",
                          "[ -e out.txt ] && echo out >> seen.txt\n[ -e percent.txt ] && echo percent >> seen.txt\n"
                          "touch seen.txt\n" + resultWorker("50", "new\\n")));
    QVERIFY(f.dir.write("percent.txt", "99"));
    f.startTest();
    QVERIFY(f.modals.waitForSeen(1, 5000));
    QCOMPARE(f.dir.read("seen.txt"), QByteArray());
    QCOMPARE(f.ui()->text_ans->toPlainText(), QStringLiteral("new\n"));
    QCOMPARE(f.ui()->haopinglvLable->text(), QStringLiteral("好评率:50.00%"));
}

void TestRunTest::missingScriptEndsTheRun()
{
    RunFixture f;
    f.startTest();
    QVERIFY(f.modals.waitForSeen(1, 5000));
    QCOMPARE(f.lastBox().title, QStringLiteral("测试未完成"));
    QVERIFY2(f.lastBox().text.contains(QStringLiteral("test.bat")), qPrintable(f.lastBox().text));
    QVERIFY(!MainWindowProbe::testProcess(f.window));
    QVERIFY(!MainWindowProbe::pollTimer(f.window)->isActive());

    QVERIFY(f.writeScript("test.bat", resultWorker("75", "ok\\n")));
    f.startTest();
    QVERIFY(f.modals.waitForSeen(2, 5000));
    QCOMPARE(f.lastBox().title, QStringLiteral("测试完成"));
    QCOMPARE(f.ui()->haopinglvLable->text(), QStringLiteral("好评率:75.00%"));
}

void TestRunTest::workerWithoutOutputShowsItsMessage_data()
{
    QTest::addColumn<QByteArray>("codec"); // the system's code page
    QTest::addColumn<QByteArray>("before"); // what the worker writes first
    QTest::newRow("utf-8 system") << QByteArray("UTF-8") << QByteArray();
    // The worker writes UTF-8 whatever the code page; read as GBK it garbles.
    QTest::newRow("gbk system") << QByteArray("GBK") << QByteArray();
    QTest::newRow("after a flood") << QByteArray("UTF-8")
                                   << QByteArray("head -c 20000000 /dev/zero\n"
                                                 "i=0; while [ $i -lt 20000 ]; do echo \"filler $i\"; i=$((i+1)); done >&2");
}

void TestRunTest::workerWithoutOutputShowsItsMessage()
{
    QFETCH(QByteArray, codec);
    QFETCH(QByteArray, before);
    QTextCodec *const system = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName(codec));
    const auto restore = qScopeGuard([system] { QTextCodec::setCodecForLocale(system); });
    RunFixture f;
    QVERIFY(f.writeScript("test.bat", before + "\necho '错误：还没有训练好的模型，请先训练。' >&2\n"
                                      "echo 'error: no trained model yet; train first.' >&2\nexit 1"));
    f.startTest();
    QVERIFY(f.modals.waitForSeen(1, 5000));
    QCOMPARE(f.lastBox().title, QStringLiteral("测试未完成"));
    QVERIFY2(f.lastBox().text.contains(QStringLiteral("请先训练")), qPrintable(f.lastBox().text));
    QVERIFY2(f.lastBox().text.contains(QStringLiteral("train first")), qPrintable(f.lastBox().text));
    QVERIFY2(f.lastBox().text.size() < 2500, qPrintable(f.lastBox().text)); // the last few lines only
    QVERIFY(!MainWindowProbe::testProcess(f.window));
    QTest::qWait(700);
    QCOMPARE(f.boxCount(), 1);
}

void TestRunTest::slowWorkerIsWaitedFor()
{
    RunFixture f;
    QVERIFY(f.writeScript("test.bat", resultWorker("50", "x\\n") + "\nsleep 1\ntouch exited"));
    f.startTest();
    QVERIFY(f.modals.waitForSeen(1, 5000));
    QTRY_VERIFY_WITH_TIMEOUT(!MainWindowProbe::testProcess(f.window), 5000);
    // The bounded wait let the worker finish instead of killing it at once.
    QVERIFY(f.dir.exists("exited"));
}

void TestRunTest::importCancelChangesNothing()
{
    RunFixture f;
    const QString before = f.ui()->test_txt->toHtml();
    f.modals.answerFileDialog({});
    QTest::mouseClick(f.ui()->pushButton, Qt::LeftButton);
    QVERIFY(f.modals.waitForSeen(1));
    QCOMPARE(f.modals.seen.first().kind, QStringLiteral("file dialog"));
    QCOMPARE(f.modals.seen.first().title, QStringLiteral("打开文件"));
    QCOMPARE(f.modals.seen.first().text, QStringLiteral("Text files (*.txt)"));
    QCOMPARE(f.ui()->test_txt->toHtml(), before);
}

void TestRunTest::importKeepsTheFirstOfSeveralFiles()
{
    RunFixture f;
    QVERIFY(f.dir.write("one.txt", "first file\n"));
    QVERIFY(f.dir.write("two.txt", "second file\n"));
    f.modals.answerFileDialog({f.dir.filePath("one.txt"), f.dir.filePath("two.txt")});
    QTest::mouseClick(f.ui()->pushButton, Qt::LeftButton);
    QVERIFY(f.modals.waitForSeen(1));
    QCOMPARE(f.ui()->test_txt->toPlainText(), QStringLiteral("first file\n"));
}

void TestRunTest::importReadsLines_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QByteArray>("testFile");
    QTest::newRow("empty file") << QByteArray() << QString() << QByteArray();
    QTest::newRow("final break") << QByteArray("a\nb\n") << "a\nb\n" << QByteArray("a\nb\n");
    QTest::newRow("no final break") << QByteArray("a\nb") << "a\nb\n" << QByteArray("a\nb\n");
    QTest::newRow("empty line kept") << QByteArray("a\n\nb\n") << "a\n\nb\n" << QByteArray("a\n\nb\n");
    QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << "a\nb\n" << QByteArray("a\nb\n");
    QTest::newRow("html-looking") << QByteArray("<p>one <br /> two</p>\n<b>three</b>\n")
                                  << "<p>one <br /> two</p>\n<b>three</b>\n"
                                  << QByteArray("<p>one <br /> two</p>\n<b>three</b>\n");
    QTest::newRow("utf-8 bom") << QByteArray("\xef\xbb\xbf好吃\n") << "好吃\n" << QByteArray("好吃\n");
}

void TestRunTest::importReadsLines()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, plain);
    QFETCH(QByteArray, testFile);
    RunFixture f;
    QVERIFY(f.dir.write("import.txt", file));
    f.modals.answerFileDialog({f.dir.filePath("import.txt")});
    QTest::mouseClick(f.ui()->pushButton, Qt::LeftButton);
    QVERIFY(f.modals.waitForSeen(1));
    QCOMPARE(f.ui()->test_txt->toPlainText(), plain);

    // The next test run hands exactly those lines to the worker.
    QVERIFY(f.writeScript("test.bat", resultWorker("1", "x\\n")));
    f.startTest();
    QVERIFY(f.modals.waitForSeen(2, 5000));
    QCOMPARE(f.dir.read("test.txt"), testFile);
}

void TestRunTest::importOfVanishedFileWarnsAndLeavesTheRun()
{
    RunFixture f;
    QVERIFY(f.writeScript("test.bat", "sleep 1.5\n" + resultWorker("50", "done\\n")));
    f.startTest();
    QProcess *running = MainWindowProbe::testProcess(f.window);
    QVERIFY(running);

    // The chosen file disappears between the choice and the read.
    QVERIFY(f.dir.write("gone.txt", "x\n"));
    f.modals.answerFileDialog({f.dir.filePath("gone.txt")});
    f.modals.beforeFileAccept = [&](QDialog *dialog) {
        QObject::connect(dialog, &QDialog::accepted, [&] { QFile::remove(f.dir.filePath("gone.txt")); });
    };
    const QString before = f.ui()->test_txt->toPlainText();
    QTest::mouseClick(f.ui()->pushButton, Qt::LeftButton);
    QVERIFY(f.modals.waitForSeen(2));
    QCOMPARE(f.lastBox().title, QStringLiteral("测试异常"));
    QCOMPARE(f.lastBox().text, QStringLiteral("请检查磁盘是否已满。"));
    QCOMPARE(f.ui()->test_txt->toPlainText(), before);
    QCOMPARE(MainWindowProbe::testProcess(f.window), running);

    // The run goes on to its normal end.
    QVERIFY(f.modals.waitForSeen(3, 6000));
    QCOMPARE(f.lastBox().title, QStringLiteral("测试完成"));
    QCOMPARE(f.ui()->text_ans->toPlainText(), QStringLiteral("done\n"));
}

void TestRunTest::trainingAndTestRunsOverlap()
{
    RunFixture f;
    QVERIFY(f.writeScript("emotion.bat", "printf 0.5 > 计数.txt\nsleep 2\nprintf 1 > 计数.txt"));
    QVERIFY(f.writeScript("test.bat", "sleep 0.6\n" + resultWorker("80", "ok\\n")));
    QVERIFY(f.startSomeTraining());
    QTimer *trainTimer = MainWindowProbe::pollTimer(f.window);
    f.startTest();
    QTimer *testTimer = MainWindowProbe::pollTimer(f.window);
    QVERIFY(trainTimer != testTimer);

    QVERIFY(f.modals.waitForSeen(3, 6000));
    QCOMPARE(f.lastBox().title, QStringLiteral("测试完成"));
    QVERIFY(trainTimer->isActive()); // the test run's end left training polling
    QVERIFY(f.modals.waitForSeen(4, 8000));
    QCOMPARE(f.lastBox().title, QStringLiteral("训练完成"));
    QVERIFY(!trainTimer->isActive());
    QVERIFY(!testTimer->isActive());
    QCOMPARE(f.ui()->progressBar->value(), 100);
    QCOMPARE(f.ui()->haopinglvLable->text(), QStringLiteral("好评率:80.00%"));
    QTRY_VERIFY_WITH_TIMEOUT(!MainWindowProbe::trainProcess(f.window) && !MainWindowProbe::testProcess(f.window), 5000);
}

QTEST_MAIN(TestRunTest)
#include "tst_testrun.moc"
