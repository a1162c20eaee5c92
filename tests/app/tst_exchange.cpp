#include "testworkdir.h"
#include "trainingexchange.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

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
    QTest::newRow("a file named temp makes way")
        << QStringList{"temp=in the way", "r.txt=x", "l.txt=y"} << "r.txt" << "l.txt" << staged << QString()
        << QStringList{"temp/", "reviews.txt=x", "labels.txt=y"};
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

QTEST_MAIN(ExchangeTest)
#include "tst_exchange.moc"
