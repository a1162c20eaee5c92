#include "testexchange.h"
#include "testworkdir.h"
#include "trainingexchange.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <QScopeGuard>
#include <QTextCodec>
#include <QTextStream>

#include <algorithm>

using TrainingExchange::StagingOutcome;

// The window's half of the exchange with the workers, without a window or a
// worker: what each step leaves in the work directory and what it reports.
class ExchangeTest : public QObject
{
    Q_OBJECT

private slots:
    // Training inputs
    void staging_data();
    void staging();
    void irregularInputsAreRefused_data();
    void irregularInputsAreRefused();

    // Progress
    void progress_data();
    void progress();

    // Test text
    void testFile_data();
    void testFile();
    void failedTestFileLeavesNothingBehind();
    void oldResultsAreRemoved_data();
    void oldResultsAreRemoved();

    // Results
    void results_data();
    void results();
};

namespace {

// Work-directory entries in a table: "name=content" is a file, "name/" a
// directory (with its parents), "!name" an entry that must not exist.
bool makeEntries(const TestWorkDir &dir, const QStringList &entries)
{
    for (const QString &entry : entries) {
        const int equals = entry.indexOf(QLatin1Char('='));
        const bool made = entry.endsWith(QLatin1Char('/'))
            ? QDir(dir.path()).mkpath(entry)
            : QDir(dir.path()).mkpath(QFileInfo(entry.left(equals)).path())
                  && dir.write(entry.left(equals), entry.mid(equals + 1).toUtf8());
        if (!made)
            return false;
    }
    return true;
}

// The bytes test.txt holds: the system's code page where it carries the text
// (a UTF-8 locale, or ASCII text), UTF-8 with a byte-order mark otherwise;
// line feeds as the platform ends its lines.
QByteArray asWrittenInTextMode(const QString &text)
{
    return TestPlatform::asTestFile(text.toUtf8());
}

// Why the entries differ from the table, or an empty string.
QString checkEntries(const TestWorkDir &dir, const QStringList &entries)
{
    for (const QString &entry : entries) {
        const QFileInfo info(dir.filePath(entry.startsWith(QLatin1Char('!')) ? entry.mid(1) : entry.section('=', 0, 0)));
        if (entry.startsWith(QLatin1Char('!'))) {
            if (info.exists() || info.isSymLink())
                return entry + QStringLiteral(": still there");
        } else if (entry.endsWith(QLatin1Char('/'))) {
            if (!info.isDir() || info.isSymLink())
                return entry + QStringLiteral(": not a directory");
        } else if (dir.read(entry.section('=', 0, 0)) != entry.section('=', 1).toUtf8()) {
            return entry + QStringLiteral(": holds \"") + QString::fromUtf8(dir.read(entry.section('=', 0, 0)))
                + QStringLiteral("\"");
        }
    }
    return QString();
}

} // namespace

void ExchangeTest::staging_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("reviews");
    QTest::addColumn<QString>("labels");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("mention"); // in the refusal's text
    QTest::addColumn<QStringList>("after");
    const int staged = int(StagingOutcome::Status::Staged);

    QTest::newRow("fresh copies, old progress gone")
        << QStringList{"in/r.txt=第一条\r\nsecond", "in/l.txt=positive\nnegative", "reviews.txt=old",
                       "labels.txt=old", "计数.txt=1"}
        << "in/r.txt" << "in/l.txt" << staged << QString()
        << QStringList{"reviews.txt=第一条\r\nsecond", "labels.txt=positive\nnegative", "!计数.txt", "temp/",
                       "!temp/reviews.txt", "!temp/labels.txt", "in/r.txt=第一条\r\nsecond"};
    QTest::newRow("the work directory's own inputs")
        << QStringList{"reviews.txt=my reviews", "labels.txt=my labels"} << "reviews.txt" << "labels.txt"
        << staged << QString() << QStringList{"reviews.txt=my reviews", "labels.txt=my labels"};
    QTest::newRow("own inputs in swapped roles")
        << QStringList{"reviews.txt=R", "labels.txt=L"} << "labels.txt" << "reviews.txt" << staged << QString()
        << QStringList{"reviews.txt=L", "labels.txt=R"};
    QTest::newRow("stale staged copies")
        << QStringList{"temp/reviews.txt=stale", "temp/labels.txt=stale", "r.txt=chosen", "l.txt=positive"}
        << "r.txt" << "l.txt" << staged << QString()
        << QStringList{"reviews.txt=chosen", "labels.txt=positive", "!temp/reviews.txt"};
    QTest::newRow("the user's file named temp stays")
        << QStringList{"temp=the user's own notes", "r.txt=x", "l.txt=y", "reviews.txt=old", "计数.txt=0.5"}
        << "r.txt" << "l.txt" << int(StagingOutcome::Status::UserFileIsStagingEntry) << "temp"
        << QStringList{"temp=the user's own notes", "reviews.txt=old", "计数.txt=0.5", "!labels.txt"};
    QTest::newRow("chosen reviews named temp")
        << QStringList{"temp=my reviews, in a file called temp", "l.txt=positive"} << "temp" << "l.txt"
        << int(StagingOutcome::Status::ChosenFileIsStagingEntry) << "temp"
        << QStringList{"temp=my reviews, in a file called temp", "!reviews.txt", "!labels.txt"};
    QTest::newRow("chosen labels named temp")
        << QStringList{"temp=my labels", "r.txt=x"} << "r.txt" << "temp"
        << int(StagingOutcome::Status::ChosenFileIsStagingEntry) << "temp" << QStringList{"temp=my labels"};
    QTest::newRow("chosen reviews inside temp")
        << QStringList{"temp/reviews.txt=the only copy", "l.txt=positive"} << "temp/reviews.txt" << "l.txt"
        << int(StagingOutcome::Status::ChosenFileIsStaged) << "temp"
        << QStringList{"temp/reviews.txt=the only copy", "!reviews.txt"};
    QTest::newRow("chosen labels inside temp")
        << QStringList{"temp/labels.txt=the only copy", "r.txt=x"} << "r.txt" << "temp/labels.txt"
        << int(StagingOutcome::Status::ChosenFileIsStaged) << "temp" << QStringList{"temp/labels.txt=the only copy"};
    // A non-empty directory can be neither removed nor written over.
    QTest::newRow("staged copy blocked")
        << QStringList{"temp/reviews.txt/keep/", "reviews.txt=my own", "labels.txt=old labels", "计数.txt=0.5",
                       "l.txt=positive"}
        << "reviews.txt" << "l.txt" << int(StagingOutcome::Status::StagingFailed) << "temp"
        << QStringList{"reviews.txt=my own", "labels.txt=old labels", "计数.txt=0.5", "!temp/labels.txt"};
    QTest::newRow("old labels.txt stuck")
        << QStringList{"labels.txt/keep/", "reviews.txt=my own", "l.txt=y"} << "reviews.txt" << "l.txt"
        << int(StagingOutcome::Status::ExchangeFilesStuck) << "labels.txt"
        << QStringList{"temp/reviews.txt=my own", "temp/labels.txt=y", "labels.txt/", "l.txt=y"};
}

// Whatever happens, no chosen file is lost, and a refused start leaves the
// exchange files as they were.
void ExchangeTest::staging()
{
    QFETCH(QStringList, before);
    QFETCH(QString, reviews);
    QFETCH(QString, labels);
    QFETCH(int, status);
    QFETCH(QString, mention);
    QFETCH(QStringList, after);
    TestWorkDir dir;
    QVERIFY(makeEntries(dir, before));

    const StagingOutcome outcome = TrainingExchange::stageInputs(dir.filePath(reviews), dir.filePath(labels));
    QCOMPARE(int(outcome.status), status);
    QCOMPARE(outcome.staged(), status == int(StagingOutcome::Status::Staged));
    if (outcome.staged()) {
        QVERIFY(outcome.notice.title.isEmpty());
    } else {
        QCOMPARE(outcome.notice.title, QStringLiteral("无法准备训练数据"));
        QVERIFY2(outcome.notice.text.contains(mention), qPrintable(outcome.notice.text));
    }
    const QString mismatch = checkEntries(dir, after);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void ExchangeTest::irregularInputsAreRefused_data()
{
    QTest::addColumn<QString>("reviews");
    QTest::addColumn<QString>("labels");
    QTest::addColumn<QString>("title"); // empty: accepted
    QTest::addColumn<QString>("named");
    QTest::newRow("two files") << "r.txt" << "l.txt" << QString() << QString();
    QTest::newRow("reviews a directory") << "dir" << "l.txt" << "选择点评内容文件" << "dir";
    QTest::newRow("labels a directory") << "r.txt" << "dir" << "选择点评标签文件" << "dir";
    QTest::newRow("both, reviews first") << "dir" << "dir2" << "选择点评内容文件" << "dir";
    QTest::newRow("reviews missing") << "gone.txt" << "l.txt" << "选择点评内容文件" << "gone.txt";
}

void ExchangeTest::irregularInputsAreRefused()
{
    QFETCH(QString, reviews);
    QFETCH(QString, labels);
    QFETCH(QString, title);
    QFETCH(QString, named);
    TestWorkDir dir;
    QVERIFY(makeEntries(dir, {"r.txt=x", "l.txt=y", "dir/", "dir2/"}));

    const std::optional<Notice> refusal =
        TrainingExchange::refuseIrregularInputs(dir.filePath(reviews), dir.filePath(labels));
    QCOMPARE(refusal.has_value(), !title.isEmpty());
    if (refusal) {
        QCOMPARE(refusal->title, title);
        QVERIFY2(refusal->text.contains(QDir::toNativeSeparators(dir.filePath(named)) + QStringLiteral("”")),
                 qPrintable(refusal->text));
    }
}

void ExchangeTest::progress_data()
{
    QTest::addColumn<QByteArray>("content"); // "<dir>": a directory; "<none>": no file
    QTest::addColumn<bool>("found");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<int>("bar"); // -1: the bar is left alone

    QTest::newRow("no file") << QByteArray("<none>") << false << 0.0 << false << -1;
    QTest::newRow("a directory") << QByteArray("<dir>") << false << 0.0 << false << -1;
    QTest::newRow("quarter") << QByteArray("0.25") << true << 0.25 << false << 25;
    QTest::newRow("empty") << QByteArray() << true << 0.0 << false << 0;
    QTest::newRow("a word") << QByteArray("done") << true << 0.0 << false << 0;
    QTest::newRow("second number ignored") << QByteArray("\n 0.5 1") << true << 0.5 << false << 50;
    QTest::newRow("1") << QByteArray("1") << true << 1.0 << true << 100;
    QTest::newRow("just above, within 1e-6") << QByteArray("1.0000009") << true << 1.0000009 << true << 100;
    QTest::newRow("just below, within 1e-6") << QByteArray("0.9999991") << true << 0.9999991 << true << 99;
    QTest::newRow("2e-6 above") << QByteArray("1.000002") << true << 1.000002 << false << 100;
    QTest::newRow("2e-6 below") << QByteArray("0.999998") << true << 0.999998 << false << 99;
    QTest::newRow("bar's top edge") << QByteArray("1.0099") << true << 1.0099 << false << 100;
    QTest::newRow("past the bar") << QByteArray("1.02") << true << 1.02 << false << -1;
    QTest::newRow("bar's bottom edge") << QByteArray("-0.005") << true << -0.005 << false << 0;
    QTest::newRow("below the bar") << QByteArray("-0.02") << true << -0.02 << false << -1;
    QTest::newRow("too large for an int") << QByteArray("1e300") << true << 1e300 << false << -1;
}

void ExchangeTest::progress()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, found);
    QFETCH(double, value);
    QFETCH(bool, complete);
    QFETCH(int, bar);
    TestWorkDir dir;
    if (content == "<dir>")
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("计数.txt")));
    else if (content != "<none>")
        QVERIFY(dir.write(QStringLiteral("计数.txt"), content));

    const TrainingExchange::Progress progress = TrainingExchange::readProgress();
    QCOMPARE(progress.found, found);
    if (!found)
        return;
    QCOMPARE(progress.value, value);
    QCOMPARE(progress.isComplete(), complete);
    QCOMPARE(progress.percent().value_or(-1), bar);
}

void ExchangeTest::testFile_data()
{
    QTest::addColumn<QString>("before"); // what stands as "test.txt": "file", "link", "dangling link" or none
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("system"); // the code page to pretend, or the real one
    const QByteArray real;
    QTest::newRow("sample text") << "" << "It is a terrible movie\nI like it\nIt is a lovely hero" << real;
    QTest::newRow("longer old file") << "file" << "short" << real;
    QTest::newRow("empty text") << "file" << "" << real;
    QTest::newRow("chinese") << "" << "很好吃\n太难吃了" << real;
    QTest::newRow("planted link") << "link" << "good\nbad" << real;
    QTest::newRow("dangling link") << "dangling link" << "good" << real;
    // Windows' code pages: Chinese survives on a Western one, and short
    // Chinese is not left for the worker to guess on a Chinese one.
    QTest::newRow("chinese, code page 1252") << "" << "很好吃\n太难吃了" << QByteArray("windows-1252");
    QTest::newRow("chinese, code page 936") << "" << "太小\n一直" << QByteArray("GBK");
    QTest::newRow("emoji, code page 936") << "" << "好吃😋" << QByteArray("GBK");
    QTest::newRow("ascii, code page 1252") << "file" << "I like it\nbad" << QByteArray("windows-1252");
    QTest::newRow("french, code page 1252") << "" << "très bon" << QByteArray("windows-1252");
}

// The worker finds exactly the text, in a file of its own: what a link in
// its place pointed to is left alone, and no temporary file stays.
void ExchangeTest::testFile()
{
    QFETCH(QString, before);
    QFETCH(QString, text);
    QFETCH(QByteArray, system);
    QTextCodec *const real = QTextCodec::codecForLocale();
    const auto restore = qScopeGuard([real] { QTextCodec::setCodecForLocale(real); });
    if (!system.isEmpty())
        QTextCodec::setCodecForLocale(QTextCodec::codecForName(system));
    TestWorkDir dir;
    QVERIFY(dir.write("victim.txt", "someone else's file\n"));
    if (before == "file")
        QVERIFY(dir.write("test.txt", "a much longer old test text that must not survive\n"));
    if (before.endsWith("link")) {
        QVERIFY(QFile::link(dir.filePath(before == "link" ? "victim.txt" : "nothing-here"), dir.filePath("test.txt")));
        if (!QFileInfo(dir.filePath("test.txt")).isSymLink())
            QSKIP("no symbolic links here");
    }

    QCOMPARE(TestExchange::writeTestFile(text).has_value(), false);
    QCOMPARE(dir.read("test.txt"), asWrittenInTextMode(text));
    // Read back in the code page unless a byte-order mark says otherwise,
    // nothing is lost.
    QTextStream back(dir.read("test.txt"));
    back.setCodec(QTextCodec::codecForLocale());
    QCOMPARE(back.readAll().replace(QStringLiteral("\r\n"), QStringLiteral("\n")), text);
    QVERIFY(!QFileInfo(dir.filePath("test.txt")).isSymLink());
    QCOMPARE(dir.read("victim.txt"), QByteArray("someone else's file\n"));
    QVERIFY(!dir.exists("nothing-here"));
    QCOMPARE(dir.entries().filter("test.txt"), QStringList{"test.txt"});
}

void ExchangeTest::failedTestFileLeavesNothingBehind()
{
    TestWorkDir dir;
    // A non-empty directory cannot be renamed over.
    QVERIFY(QDir(dir.path()).mkpath("test.txt/keep"));
    const std::optional<Notice> refusal = TestExchange::writeTestFile(QStringLiteral("text"));
    QVERIFY(refusal);
    QCOMPARE(refusal->title, QStringLiteral("文件打开失败"));
    // Written whole, so the box does not blame the disk.
    QVERIFY2(refusal->text.contains(QStringLiteral("无法替换工作目录中的 test.txt")), qPrintable(refusal->text));
    QCOMPARE(dir.entries(), QStringList{"test.txt"});
    QVERIFY(QFileInfo(dir.filePath("test.txt/keep")).isDir());
}

void ExchangeTest::oldResultsAreRemoved_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("stuck"); // the file named in the refusal; empty: none
    QTest::addColumn<QStringList>("after");
    QTest::newRow("none there") << QStringList{} << QString() << QStringList{"!out.txt", "!percent.txt"};
    QTest::newRow("both there") << QStringList{"out.txt=old", "percent.txt=55"} << QString()
                                << QStringList{"!out.txt", "!percent.txt"};
    QTest::newRow("out.txt stuck") << QStringList{"out.txt/keep/", "percent.txt=55"} << "out.txt"
                                   << QStringList{"out.txt/", "percent.txt=55"};
    QTest::newRow("percent.txt stuck") << QStringList{"out.txt=old", "percent.txt/keep/"} << "percent.txt"
                                       << QStringList{"!out.txt", "percent.txt/"};
}

void ExchangeTest::oldResultsAreRemoved()
{
    QFETCH(QStringList, before);
    QFETCH(QString, stuck);
    QFETCH(QStringList, after);
    TestWorkDir dir;
    QVERIFY(makeEntries(dir, before));
    const std::optional<Notice> refusal = TestExchange::removeOldResults();
    QCOMPARE(refusal.has_value(), !stuck.isEmpty());
    if (refusal) {
        QCOMPARE(refusal->title, QStringLiteral("测试异常"));
        QCOMPARE(refusal->text, QStringLiteral("无法删除上一次的结果文件 %1，测试没有开始。请检查文件权限。").arg(stuck));
    }
    const QString mismatch = checkEntries(dir, after);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void ExchangeTest::results_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");
    QTest::addColumn<double>("rate");
    const int read = int(TestExchange::Results::Status::Read);
    const int noRate = int(TestExchange::Results::Status::RateUnreadable);

    QTest::newRow("lines and rate") << QStringList{"out.txt=a\n\nb\n", "percent.txt=85.5"} << read << "a\n\nb\n" << 85.5;
    QTest::newRow("no final break") << QStringList{"out.txt=a\nb", "percent.txt=1"} << read << "a\nb\n" << 1.0;
    QTest::newRow("crlf") << QStringList{"out.txt=a\r\nb\r\n", "percent.txt=1"} << read << "a\nb\n" << 1.0;
    QTest::newRow("utf-8 bom") << QStringList{"out.txt=\xef\xbb\xbf好评\n", "percent.txt=1"} << read << "好评\n" << 1.0;
    QTest::newRow("empty output") << QStringList{"out.txt=", "percent.txt=1"} << read << "" << 1.0;
    QTest::newRow("rate with text after") << QStringList{"out.txt=x", "percent.txt=42.126 more"} << read << "x\n" << 42.126;
    QTest::newRow("rate a word") << QStringList{"out.txt=x", "percent.txt=abc"} << read << "x\n" << 0.0;
    QTest::newRow("no percent.txt") << QStringList{"out.txt=new output\n"} << noRate << "new output\n" << 0.0;
    QTest::newRow("percent.txt a directory") << QStringList{"out.txt=x\n", "percent.txt/"} << noRate << "x\n" << 0.0;
    QTest::newRow("out.txt a directory") << QStringList{"out.txt/", "percent.txt=50"}
                                         << int(TestExchange::Results::Status::OutputUnreadable) << "" << 0.0;
}

void ExchangeTest::results()
{
    QFETCH(QStringList, files);
    QFETCH(int, status);
    QFETCH(QString, output);
    QFETCH(double, rate);
    TestWorkDir dir;
    QVERIFY(makeEntries(dir, files));

    const TestExchange::Results results = TestExchange::readResults();
    QCOMPARE(int(results.status), status);
    QCOMPARE(results.output, output);
    QCOMPARE(results.rate, rate);
    if (results.status == TestExchange::Results::Status::Read) {
        QVERIFY(results.notice.title.isEmpty());
    } else {
        QCOMPARE(results.notice.title, QStringLiteral("测试异常"));
        QCOMPARE(results.notice.text, QStringLiteral("请检查磁盘是否已满。"));
    }
}

QTEST_MAIN(ExchangeTest)
#include "tst_exchange.moc"
