#include "runfixture.h"

#include <QDialog>
#include <QTextEdit>


// Importing test text reads a file as the worker reads it, and refuses what
// is not text, or too much of it, without touching the test box.
class ImportTest : public QObject
{
    Q_OBJECT

private slots:
    void decodesLikeTheWorker_data();
    void decodesLikeTheWorker();
    void refusesWhatIsNotText_data();
    void refusesWhatIsNotText();
    void refusalKeepsANameWithPlaceMarkers_data();
    void refusalKeepsANameWithPlaceMarkers();
    void unreadableFileGetsTheImportWarning_data();
    void unreadableFileGetsTheImportWarning();
    void refusesASpecialTrainingInput_data();
    void refusesASpecialTrainingInput();
};

namespace {

// Replaces a chosen file by a FIFO ("fifo") or a directory ("dir") in place,
// or removes it ("gone").
bool makeSpecial(const QString &path, const QString &kind)
{
    if (!QFile::remove(path))
        return false;
    if (kind == "gone")
        return true;
    if (kind == "dir")
        return QDir().mkdir(path);
    return TestPlatform::makeFifo(path);
}

} // namespace

void ImportTest::decodesLikeTheWorker_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("plain");
    QTest::newRow("gbk") << QByteArray("\xba\xdc\xba\xc3\xb3\xd4\n\xcc\xab\xc4\xd1\xb3\xd4\xc1\xcb\n")
                         << QStringLiteral("很好吃\n太难吃了\n");
    QTest::newRow("utf-16le bom") << QByteArray("\xff\xfe\x7d\x59\x0a\x00\x62\x00", 8) << QStringLiteral("好\nb\n");
    QTest::newRow("utf-16be bom") << QByteArray("\xfe\xff\x59\x7d\x00\x0d\x00\x62", 8) << QStringLiteral("好\nb\n");
    QTest::newRow("utf-8, no bom") << QByteArray("很好吃\r\nok") << QStringLiteral("很好吃\nok\n");
    QTest::newRow("cr only") << QByteArray("one\rtwo\r\rfour\r") << QStringLiteral("one\ntwo\n\nfour\n");
    QTest::newRow("mixed line ends") << QByteArray("a\r\nb\rc\nd") << QStringLiteral("a\nb\nc\nd\n");
    QTest::newRow("10,000 lines, the most taken") << QByteArray("ab\r\n").repeated(10000)
                                                  << QStringLiteral("ab\n").repeated(10000);
}

void ImportTest::decodesLikeTheWorker()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, plain);
    RunFixture f;
    QVERIFY(f.dir.write("import.txt", file));
    f.modals.answerFileDialog({f.dir.filePath("import.txt")});
    QTest::mouseClick(f.ui()->pushButton, Qt::LeftButton);
    QVERIFY(f.modals.waitForSeen(1));
    QCOMPARE(f.boxCount(), 0);
    QCOMPARE(f.ui()->test_txt->toPlainText(), plain);
}

void ImportTest::refusesWhatIsNotText_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("reason"); // a piece of the box text
    QTest::newRow("binary") << QByteArray("\x7f" "ELF\x02\x01\x01\x00\x00\x00\x00\x00 more\n", 18)
                            << QStringLiteral("空字节");
    // The decoder itself finds that what follows the mark is no UTF-16 text.
    QTest::newRow("utf-16 binary") << QByteArray("\xff\xfe\x61\x00\x00\x00", 6)
                                   << QStringLiteral("后面的内容不是 UTF-16LE 文本");
    QTest::newRow("damaged utf-8") << QByteArray("很好吃\n太难\xff吃了\n很好\n") << QStringLiteral("第 2 行");
    QTest::newRow("too large") << QByteArray(4 * 1024 * 1024 + 2, '\n') << QStringLiteral("太大");
    QTest::newRow("over 384 KB") << QByteArray("很好吃\n").repeated(384 * 1024 / 10 + 1)
                                 << QStringLiteral("最多导入 384 KB");
    QTest::newRow("10,001 lines") << QByteArray("ab\r\n").repeated(10000) + "c"
                                  << QStringLiteral("有 10001 行：测试文本最多导入 10000 行");
    QTest::newRow("10,001 lines ended by lone CRs") << QByteArray("a\r").repeated(10001)
                                                 << QStringLiteral("有 10001 行");
    QTest::newRow("line over 256 KB") << QByteArray("short\n") + QByteArray(256 * 1024 + 1, 'a') + "\nshort"
                                      << QStringLiteral("超过 256 KB 的行（第 2 行）");
}

void ImportTest::refusesWhatIsNotText()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, reason);
    RunFixture f;
    const QString before = f.ui()->test_txt->toPlainText();
    QVERIFY(f.dir.write("odd.txt", file));
    f.modals.answerFileDialog({f.dir.filePath("odd.txt")});
    QTest::mouseClick(f.ui()->pushButton, Qt::LeftButton);
    QVERIFY(f.modals.waitForSeen(2));
    QCOMPARE(f.lastBox().title, QStringLiteral("无法导入"));
    QVERIFY2(f.lastBox().text.contains(reason), qPrintable(f.lastBox().text));
    QVERIFY2(f.lastBox().text.contains(QStringLiteral("odd.txt")), qPrintable(f.lastBox().text));
    QCOMPARE(f.ui()->test_txt->toPlainText(), before);
}

// Qt's place markers in a file name stay text, and every limit is told.
void ImportTest::refusalKeepsANameWithPlaceMarkers_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("reason");
    QTest::newRow("over 384 KB") << QStringLiteral("a%1b%2.txt") << QByteArray(384 * 1024 + 1, 'a')
                                 << QStringLiteral("最多导入 384 KB");
    QTest::newRow("10,001 lines") << QStringLiteral("%2%3.txt") << QByteArray("a\n").repeated(10001)
                                  << QStringLiteral("有 10001 行：测试文本最多导入 10000 行");
    QTest::newRow("line over 256 KB") << QStringLiteral("%1 %3.txt") << QByteArray(256 * 1024 + 1, 'a')
                                      << QStringLiteral("超过 256 KB 的行（第 1 行）");
}

void ImportTest::refusalKeepsANameWithPlaceMarkers()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, file);
    QFETCH(QString, reason);
    RunFixture f;
    QVERIFY(f.dir.write(name, file));
    f.modals.answerFileDialog({f.dir.filePath(name)});
    QTest::mouseClick(f.ui()->pushButton, Qt::LeftButton);
    QVERIFY(f.modals.waitForSeen(2));
    const QString text = f.lastBox().text;
    QVERIFY2(text.contains(reason), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("“%1”").arg(name)), qPrintable(text));
}

void ImportTest::unreadableFileGetsTheImportWarning_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("fifo") << "fifo";
    QTest::newRow("directory") << "dir";
    QTest::newRow("gone since the dialog") << "gone";
}

// What cannot be opened for reading gets the import's one warning, the box
// the window has always shown for it.
void ImportTest::unreadableFileGetsTheImportWarning()
{
    QFETCH(QString, kind);
    if (kind == "fifo" && !TestPlatform::hasPosixFiles())
        QSKIP("no FIFOs on this system");
    RunFixture f;
    const QString before = f.ui()->test_txt->toPlainText();
    const QString path = f.dir.filePath("special.txt");
    QVERIFY(f.dir.write("special.txt", "x\n"));
    // Swapped in once chosen, as another program might do.
    f.modals.answerFileDialog({path});
    bool swapped = false;
    f.modals.beforeFileAccept = [&](QDialog *dialog) {
        QObject::connect(dialog, &QDialog::accepted, [&] { swapped = makeSpecial(path, kind); });
    };
    QTest::mouseClick(f.ui()->pushButton, Qt::LeftButton); // a FIFO would block here for good
    QVERIFY(swapped);
    QVERIFY(f.modals.waitForSeen(2));
    QCOMPARE(f.boxCount(), 1);
    QCOMPARE(f.lastBox().title, QStringLiteral("测试异常"));
    QCOMPARE(f.lastBox().text, QStringLiteral("请检查磁盘是否已满。"));
    QCOMPARE(f.ui()->test_txt->toPlainText(), before);
}

void ImportTest::refusesASpecialTrainingInput_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("reviews"); // which of the two inputs is special
    QTest::newRow("fifo as reviews") << "fifo" << true;
    QTest::newRow("directory as labels") << "dir" << false;
}

void ImportTest::refusesASpecialTrainingInput()
{
    QFETCH(QString, kind);
    QFETCH(bool, reviews);
    if (kind == "fifo" && !TestPlatform::hasPosixFiles())
        QSKIP("no FIFOs on this system");
    RunFixture f;
    QVERIFY(f.writeWorker("emotion.bat", WorkerSteps().write("started", "").hang()));
    QVERIFY(f.chooseSomeInputs());
    const QString special = reviews ? "r.txt" : "l.txt";
    QVERIFY(makeSpecial(f.dir.filePath(special), kind));

    f.startTraining(); // a FIFO would block the copy for good
    QVERIFY(f.modals.waitForSeen(3));
    QCOMPARE(f.lastBox().title, reviews ? QStringLiteral("选择点评内容文件") : QStringLiteral("选择点评标签文件"));
    QVERIFY2(f.lastBox().text.contains(QDir::toNativeSeparators(f.dir.filePath(special))), qPrintable(f.lastBox().text));
    QVERIFY(!MainWindowProbe::trainProcess(f.window));
    QVERIFY(!f.dir.exists("reviews.txt"));
    QVERIFY(!f.dir.exists("started"));
}

QTEST_MAIN(ImportTest)
#include "tst_import.moc"
