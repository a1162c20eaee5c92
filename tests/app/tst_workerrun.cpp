#include "modalhandler.h"
#include "notice.h"
#include "runclaim.h"
#include "runkind.h"
#include "testworkdir.h"
#include "workerrun.h"

#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QWidget>

// A run tells the window what went wrong and leaves the showing to it: no
// box comes from the run itself, and each failure reaches the window once.
class WorkerRunTest : public QObject
{
    Q_OBJECT

private slots:
    void failureIsReported_data();
    void failureIsReported();
    void busyClaimIsRefused_data();
    void busyClaimIsRefused();
};

namespace {

// A run of the given kind on a plain widget, recording what it reports.
struct RunUnderTest
{
    explicit RunUnderTest(const RunKind &kind)
        : run(kind, process, &window, SLOT(update()), [] {}, [this](const Notice &n) { reports.append(n); })
    {
    }

    QWidget window;
    QProcess *process = nullptr;
    QList<Notice> reports;
    WorkerRun run;
};

} // namespace

void WorkerRunTest::failureIsReported_data()
{
    QTest::addColumn<bool>("training");
    QTest::addColumn<WorkerSteps>("worker"); // no steps: no script at all
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("pieces"); // each in the reported text

    QTest::newRow("training script missing")
        << true << WorkerSteps() << "训练未完成" << QStringList{"训练没有完成。\n", "无法启动工作脚本“emotion.bat”"};
    QTest::newRow("test worker refuses its input")
        << false << WorkerSteps().complain("错误：还没有模型\n").exit(2) << "测试未完成"
        << QStringList{"测试没有完成，没有生成结果文件 out.txt。\n", "退出码 2", "错误：还没有模型"};
    QTest::newRow("training worker killed")
        << true << WorkerSteps().crash() << "训练未完成" << QStringList{"意外终止"};
}

void WorkerRunTest::failureIsReported()
{
    QFETCH(bool, training);
    QFETCH(WorkerSteps, worker);
    QFETCH(QString, title);
    QFETCH(QStringList, pieces);
    TestWorkDir dir;
    ModalHandler modals;
    const RunKind kind = training ? RunKind::training() : RunKind::testing();
    if (!worker.text().isEmpty())
        QVERIFY(dir.writeWorker(kind.script, worker));

    RunUnderTest t(kind);
    WorkerRun::ClaimAttempt attempt = t.run.claim();
    QVERIFY(attempt.claim);
    QTimer *timer = t.run.start(std::move(attempt.claim));
    QCOMPARE(timer->parent(), &t.window);
    QVERIFY(t.process);

    QTRY_COMPARE_WITH_TIMEOUT(t.reports.size(), 1, 5000);
    QCOMPARE(t.reports.first().title, title);
    for (const QString &piece : pieces)
        QVERIFY2(t.reports.first().text.contains(piece), qPrintable(t.reports.first().text));
    QVERIFY(!t.process);
    QVERIFY(!t.run.polling());
    QTest::qWait(700);
    QCOMPARE(t.reports.size(), 1);
    QCOMPARE(modals.seen.size(), 0);
}

void WorkerRunTest::busyClaimIsRefused_data()
{
    QTest::addColumn<bool>("training");
    QTest::addColumn<QString>("text");
    QTest::newRow("training") << true << "上一次训练仍在进行，请等它结束后再开始训练。";
    QTest::newRow("test") << false << "上一次测试仍在进行，请等它结束后再开始测试。";
}

void WorkerRunTest::busyClaimIsRefused()
{
    QFETCH(bool, training);
    QFETCH(QString, text);
    TestWorkDir dir;
    ModalHandler modals;
    const RunKind kind = training ? RunKind::training() : RunKind::testing();
    RunClaim::Outcome outcome;
    const std::unique_ptr<RunClaim> held = RunClaim::take(kind.claimName, &outcome);
    QVERIFY(held);

    RunUnderTest t(kind);
    WorkerRun::ClaimAttempt attempt = t.run.claim();
    QVERIFY(!attempt.claim);
    QCOMPARE(attempt.refusal.title, QStringLiteral("请等待进程关闭"));
    QCOMPARE(attempt.refusal.text, text);
    QTest::qWait(100);
    QCOMPARE(modals.seen.size(), 0);
}

QTEST_MAIN(WorkerRunTest)
#include "tst_workerrun.moc"
