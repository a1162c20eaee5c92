#include "runfixture.h"

#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QTextEdit>

// The real window with the real workers on the sample data that ships with
// the program: the first session a new user has.
class EndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void trainThenTestTheSampleSentences();
};

void EndToEndTest::trainThenTestTheSampleSentences()
{
    RunFixture f;
    const QString scripts = QStringLiteral(WORKER_SCRIPTS_DIR);
    const QString samples = QStringLiteral(SAMPLE_DIR);
    // "sentiment", or "sentiment.exe" on Windows, where the scripts look for it.
    QVERIFY(f.install(QStringLiteral(SENTIMENT_BIN), QFileInfo(QStringLiteral(SENTIMENT_BIN)).fileName()));
    QVERIFY(f.install(scripts + "/emotion.bat", "emotion.bat"));
    QVERIFY(f.install(scripts + "/test.bat", "test.bat"));

    QVERIFY(f.chooseInputs(samples + "/sample-reviews.txt", samples + "/sample-labels.txt"));
    QCOMPARE(f.ui()->nr_label->text(), QStringLiteral("sample-reviews.txt"));
    f.startTraining();
    QVERIFY(f.modals.waitForSeen(3, 60000));
    QCOMPARE(f.lastBox().title, QStringLiteral("训练完成"));
    QCOMPARE(f.ui()->progressBar->value(), 100);
    QVERIFY(f.dir.exists("sentiment.model"));

    // The default sample sentences: one negative, two positive.
    f.startTest();
    QVERIFY(f.modals.waitForSeen(4, 60000));
    QCOMPARE(f.lastBox().title, QStringLiteral("测试完成"));
    const QStringList lines = f.ui()->text_ans->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[0].startsWith(QStringLiteral("差评")) && lines[0].endsWith(QStringLiteral("It is a terrible movie")),
             qPrintable(lines[0]));
    QVERIFY2(lines[1].startsWith(QStringLiteral("好评")) && lines[1].endsWith(QStringLiteral("I like it")),
             qPrintable(lines[1]));
    QVERIFY2(lines[2].startsWith(QStringLiteral("好评")) && lines[2].endsWith(QStringLiteral("It is a lovely hero")),
             qPrintable(lines[2]));
    QCOMPARE(f.ui()->haopinglvLable->text(), QStringLiteral("好评率:66.67%"));

    // Chinese test text, imported from the sample file, goes through as well.
    f.modals.answerFileDialog({samples + "/sample-test.txt"});
    QTest::mouseClick(f.ui()->pushButton, Qt::LeftButton);
    QVERIFY(f.modals.waitForSeen(5));
    const int testLines = f.ui()->test_txt->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts).size();
    f.startTest();
    QVERIFY(f.modals.waitForSeen(6, 60000));
    QCOMPARE(f.lastBox().title, QStringLiteral("测试完成"));
    QCOMPARE(f.ui()->text_ans->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), testLines);
    QVERIFY(f.ui()->haopinglvLable->text().startsWith(QStringLiteral("好评率:")));
}

QTEST_MAIN(EndToEndTest)
#include "tst_endtoend.moc"
