#include "runfixture.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextEdit>

// The window writes and deletes only inside its work directory: a link
// planted in place of an exchange file or of the staging directory is
// replaced, and what it points to is left as it was.
class WorkDirTest : public QObject
{
    Q_OBJECT

private slots:
    void testRunReplacesALinkedTestFile();
    void testRunReplacesATestFileHeldOpen();
    void stagingDirectoryIsMadeReal_data();
    void stagingDirectoryIsMadeReal();
    void chosenFileNamedTempIsKept();
    void linkedExchangeFilesAreReplaced();
    void specialResultFilesDoNotBlock_data();
    void specialResultFilesDoNotBlock();
};

namespace {

bool makeLink(const QString &target, const QString &link)
{
    return QFile::link(target, link);
}

// Windows' QFile::link makes a shortcut, not a link the file system follows.
const char *const noLinks = "no symbolic links here: QFile::link makes shortcuts";

// Files outside the work directory, by absolute path.
bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void WorkDirTest::testRunReplacesALinkedTestFile()
{
    if (!TestPlatform::hasPosixFiles())
        QSKIP(noLinks);
    RunFixture f;
    QTemporaryDir outside;
    QVERIFY(writeFile(outside.filePath("victim.txt"), "someone else's file\n"));
    QVERIFY(makeLink(outside.filePath("victim.txt"), f.dir.filePath("test.txt")));
    QVERIFY(f.writeWorker("test.bat", WorkerSteps().copy("test.txt", "seen.txt").write("percent.txt", "50").write("out.txt", "x\n")));

    f.startTest(QStringLiteral("good\nbad"));
    QVERIFY(f.modals.waitForSeen(1, 5000));
    QCOMPARE(f.lastBox().title, QStringLiteral("测试完成"));
    QCOMPARE(readFile(outside.filePath("victim.txt")), QByteArray("someone else's file\n"));
    const QFileInfo testFile(f.dir.filePath("test.txt"));
    QVERIFY(!testFile.isSymLink());
    QCOMPARE(f.dir.read("test.txt"), QByteArray("good\nbad"));
    QCOMPARE(f.dir.read("seen.txt"), QByteArray("good\nbad"));
    // No temporary file is left behind.
    QCOMPARE(f.dir.entries().filter(QStringLiteral("test.txt")), QStringList{"test.txt"});
}

// test.txt while another program reads it: POSIX replaces it, and the
// reader keeps what it had open; Windows cannot replace a file open without
// shared deletion, and the run does not start on the old text.
void WorkDirTest::testRunReplacesATestFileHeldOpen()
{
    RunFixture f;
    QVERIFY(f.dir.write("test.txt", "old text\n"));
    QFile reader(f.dir.filePath("test.txt"));
    QVERIFY(reader.open(QIODevice::ReadOnly));
    QVERIFY(f.writeWorker("test.bat", WorkerSteps().copy("test.txt", "seen.txt").write("percent.txt", "50").write("out.txt", "x\n")));

    f.startTest(QStringLiteral("good\nbad"));
    QVERIFY(f.modals.waitForSeen(1, 5000));
    QCOMPARE(reader.readAll(), QByteArray("old text\n"));
    QCOMPARE(f.dir.entries().filter(QStringLiteral("test.txt")), QStringList{"test.txt"}); // no temporary left
    if (TestPlatform::hasPosixFiles()) {
        QCOMPARE(f.lastBox().title, QStringLiteral("测试完成"));
        QCOMPARE(f.dir.read("seen.txt"), QByteArray("good\nbad"));
        QCOMPARE(f.dir.read("test.txt"), QByteArray("good\nbad"));
    } else {
        QCOMPARE(f.lastBox().title, QStringLiteral("文件打开失败"));
        QVERIFY2(f.lastBox().text.contains(QStringLiteral("正被其他程序打开")), qPrintable(f.lastBox().text));
        QCOMPARE(f.dir.read("test.txt"), QByteArray("old text\n"));
        QTest::qWait(300);
        QVERIFY(!f.dir.exists("seen.txt"));
        QVERIFY(!MainWindowProbe::testProcess(f.window));
    }
}

void WorkDirTest::stagingDirectoryIsMadeReal_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("refused"); // a file of the user's in the way is kept
    QTest::newRow("link to a directory") << "dir link" << false;
    QTest::newRow("dangling link") << "dangling" << false;
    QTest::newRow("plain file") << "file" << true;
}

void WorkDirTest::stagingDirectoryIsMadeReal()
{
    QFETCH(QString, kind);
    QFETCH(bool, refused);
    if (kind != "file" && !TestPlatform::hasPosixFiles())
        QSKIP(noLinks);
    RunFixture f;
    QTemporaryDir outside;
    QVERIFY(writeFile(outside.filePath("reviews.txt"), "their reviews\n"));
    QVERIFY(writeFile(outside.filePath("labels.txt"), "their labels\n"));
    if (kind == "dir link")
        QVERIFY(makeLink(outside.path(), f.dir.filePath("temp")));
    else if (kind == "dangling")
        QVERIFY(makeLink(outside.filePath("nothing-here"), f.dir.filePath("temp")));
    else
        QVERIFY(f.dir.write("temp", "in the way\n"));
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().hang()));
    QVERIFY(f.startSomeTraining());
    QCOMPARE(MainWindowProbe::trainProcess(f.window) == nullptr, refused);
    QCOMPARE(f.boxCount(), refused ? 1 : 0);
    QCOMPARE(readFile(outside.filePath("reviews.txt")), QByteArray("their reviews\n"));
    QCOMPARE(readFile(outside.filePath("labels.txt")), QByteArray("their labels\n"));
    QCOMPARE(QDir(outside.path()).entryList(QDir::Files), (QStringList{"labels.txt", "reviews.txt"}));
    if (refused) {
        QCOMPARE(f.lastBox().title, QStringLiteral("无法准备训练数据"));
        QCOMPARE(f.dir.read("temp"), QByteArray("in the way\n"));
        return;
    }
    const QFileInfo temp(f.dir.filePath("temp"));
    QVERIFY(temp.isDir() && !temp.isSymLink());
    QCOMPARE(f.dir.read("reviews.txt"), QByteArray("x\n"));
    QCOMPARE(f.dir.read("labels.txt"), QByteArray("positive\n"));
}

void WorkDirTest::chosenFileNamedTempIsKept()
{
    RunFixture f;
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().hang()));
    QVERIFY(f.dir.write("temp", "my reviews, in a file called temp\n"));
    QVERIFY(f.dir.write("l.txt", "positive\n"));
    QVERIFY(f.startTraining(f.dir.filePath("temp"), f.dir.filePath("l.txt")));
    QVERIFY(f.modals.waitForSeen(3));
    QCOMPARE(f.lastBox().title, QStringLiteral("无法准备训练数据"));
    QCOMPARE(f.dir.read("temp"), QByteArray("my reviews, in a file called temp\n"));
    QVERIFY(!MainWindowProbe::trainProcess(f.window));
}

void WorkDirTest::linkedExchangeFilesAreReplaced()
{
    if (!TestPlatform::hasPosixFiles())
        QSKIP(noLinks);
    RunFixture f;
    QTemporaryDir outside;
    const QStringList names{"reviews.txt", "labels.txt", "计数.txt", "emotion.bat.lock"};
    for (const QString &name : names) {
        QVERIFY(writeFile(outside.filePath(name), "kept\n"));
        QVERIFY(makeLink(outside.filePath(name), f.dir.filePath(name)));
    }
    QVERIFY(makeLink(outside.filePath("absent.txt"), f.dir.filePath("out.txt"))); // dangling
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().write("计数.txt", "1")));
    QVERIFY(f.writeWorker("test.bat", WorkerSteps().write("percent.txt", "50").write("out.txt", "x\n")));
    QVERIFY(f.startSomeTraining());
    QVERIFY(f.modals.waitForSeen(3, 5000));
    QCOMPARE(f.lastBox().title, QStringLiteral("训练完成"));
    f.startTest();
    QVERIFY(f.modals.waitForSeen(4, 5000));
    QCOMPARE(f.lastBox().title, QStringLiteral("测试完成"));

    for (const QString &name : names) {
        QCOMPARE(readFile(outside.filePath(name)), QByteArray("kept\n"));
        QVERIFY2(!QFileInfo(f.dir.filePath(name)).isSymLink(), qPrintable(name));
    }
    QVERIFY(!QFileInfo::exists(outside.filePath("absent.txt")));
    QCOMPARE(f.dir.read("reviews.txt"), QByteArray("x\n"));
}

void WorkDirTest::specialResultFilesDoNotBlock_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("title");
    QTest::newRow("fifo out.txt") << QByteArray("printf 50 > percent.txt\nmkfifo out.txt") << "测试异常";
    QTest::newRow("fifo percent.txt") << QByteArray("mkfifo percent.txt\nprintf 'x\\n' > out.txt") << "测试异常";
}

// A worker that leaves a FIFO where a result belongs gets a box, not a
// window that waits for a writer for good.
void WorkDirTest::specialResultFilesDoNotBlock()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, title);
    if (!TestPlatform::hasPosixFiles())
        QSKIP("no FIFOs on this system");
    RunFixture f;
    QVERIFY(f.writeScript("test.bat", script));
    f.startTest();
    QVERIFY(f.modals.waitForSeen(1, 5000));
    QCOMPARE(f.lastBox().title, title);
    QTRY_VERIFY_WITH_TIMEOUT(!MainWindowProbe::testProcess(f.window), 3000);
}

QTEST_MAIN(WorkDirTest)
#include "tst_workdir.moc"
