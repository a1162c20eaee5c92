#include "mainwindow.h"
#include "mainwindowform.h"

#include "exchangefiles.h"
#include "gradualtextfill.h"
#include "notice.h"
#include "runclaim.h"
#include "runkind.h"
#include "testexchange.h"
#include "textimport.h"
#include "trainingexchange.h"
#include "warningbox.h"
#include "workerrun.h"

#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QTextEdit>
#include <QTimer>

#include <optional>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , workDir(nullptr)
    , trainProcess(nullptr)
    , testProcess(nullptr)
    , pollTimer(nullptr)
    , ui(new MainWindowForm)
{
    ui->setupForm(this);
    outputFill = new GradualTextFill(ui->text_ans);
    // An empty path is ".", so the object always means the current directory.
    workDir = new QDir(QString());

    const auto reportTraining = [this](const Notice &notice) {
        warn(notice.title, trainingInputs.inMessage(notice.text));
    };
    training = std::make_unique<WorkerRun>(RunKind::training(), trainProcess, this, SLOT(check()),
                                           [this] { check(); }, reportTraining);
    testing = std::make_unique<WorkerRun>(RunKind::testing(), testProcess, this, SLOT(checkTestflie()),
                                          [this] { checkTestflie(); }, [this](const Notice &notice) { warn(notice); });
}

MainWindow::~MainWindow()
{
    delete ui;
    delete workDir;
    // A worker still running is left alone: its results stay in the work
    // directory for the next session, and it keeps its run's claim.
}

void MainWindow::warn(const QString &title, const QString &text)
{
    showWarningBox(this, title, text);
}

void MainWindow::warn(const Notice &notice)
{
    showWarningBox(this, notice.title, notice.text);
}

// Asks for one existing text file; returns the first selected path, or a null
// string when the dialog was cancelled.
QString MainWindow::chooseTextFile()
{
    QFileDialog dialog(this);
    dialog.setGeometry(200, 100, 800, 600);
    dialog.setWindowTitle(tr("打开文件"));
    dialog.setDirectory(QStringLiteral("."));
    dialog.setNameFilter(QStringLiteral("Text files (*.txt)"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setViewMode(QFileDialog::Detail);
    // Qt's own dialog on every platform: Windows' native one ignores the
    // geometry and the detail view set above.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() == 0)
        return QString();
    return dialog.selectedFiles().value(0);
}

// Claims a run's exchange files, or tells the user why not and gives null.
std::unique_ptr<RunClaim> MainWindow::claimFor(WorkerRun &run)
{
    WorkerRun::ClaimAttempt attempt = run.claim();
    if (!attempt.claim)
        warn(attempt.refusal);
    return std::move(attempt.claim);
}

void MainWindow::on_button_file_clicked()
{
    const QString path = chooseTextFile();
    if (path.isNull())
        return;
    reviewsPath = path;
    ui->nr_label->setText(QFileInfo(reviewsPath).fileName());
}

void MainWindow::on_pushButton_2_clicked()
{
    const QString path = chooseTextFile();
    if (path.isNull())
        return;
    labelsPath = path;
    ui->bq_label->setText(QFileInfo(labelsPath).fileName());
}

void MainWindow::on_pushButton_4_clicked()
{
    if (trainProcess) {
        warn(QStringLiteral("请等待进程关闭"),
             QStringLiteral("训练进程正在运行。神经网络计算量较大，请耐心等待。"));
        return;
    }
    if (!workDir->exists(reviewsPath)) {
        warn(QStringLiteral("选择点评内容文件"), QStringLiteral("请先选择点评内容文件"));
        return;
    }
    if (!workDir->exists(labelsPath)) {
        warn(QStringLiteral("选择点评标签文件"), QStringLiteral("请先选择点评标签文件"));
        return;
    }
    if (const std::optional<Notice> refusal = TrainingExchange::refuseIrregularInputs(reviewsPath, labelsPath)) {
        warn(*refusal);
        return;
    }
    std::unique_ptr<RunClaim> claim = claimFor(*training);
    if (!claim)
        return;
    const TrainingExchange::StagingOutcome staging = TrainingExchange::stageInputs(reviewsPath, labelsPath);
    if (!staging.staged()) {
        warn(staging.notice);
        return;
    }
    trainingInputs = ChosenInputNames(reviewsPath, labelsPath);
    pollTimer = training->start(std::move(claim));
}

void MainWindow::check()
{
    if (!training->polling())
        return; // a last look after the run has already ended
    const TrainingExchange::Progress progress = TrainingExchange::readProgress();
    if (!progress.found)
        return;

    if (progress.isComplete()) {
        training->stopPolling();
        ui->progressBar->setValue(100);
        warn(QStringLiteral("训练完成"), QStringLiteral("神经网络已经训练完成"));
        training->finish();
        return;
    }
    qDebug() << progress.value;
    if (const std::optional<int> percent = progress.percent())
        ui->progressBar->setValue(*percent);
}

void MainWindow::on_text_button_clicked()
{
    if (testProcess) {
        warn(QStringLiteral("请等待进程关闭"),
             QStringLiteral("测试进程正在运行。神经网络计算量较大，请耐心等待。"));
        return;
    }
    std::unique_ptr<RunClaim> claim = claimFor(*testing);
    if (!claim)
        return;
    if (const std::optional<Notice> refusal = TestExchange::writeTestFile(ui->test_txt->toPlainText())) {
        warn(*refusal);
        return;
    }
    if (const std::optional<Notice> refusal = TestExchange::removeOldResults()) {
        warn(*refusal);
        return;
    }
    pollTimer = testing->start(std::move(claim));
}

void MainWindow::checkTestflie()
{
    if (!testing->polling())
        return; // a last look after the run has already ended
    if (!workDir->exists(ExchangeFiles::output))
        return;
    testing->stopPolling();

    using Status = TestExchange::Results::Status;
    const TestExchange::Results results = TestExchange::readResults();
    // Plain text: review lines that look like HTML must keep every line. A
    // long output is shown whole before anything else is, while the window
    // keeps answering.
    if (results.status != Status::OutputUnreadable) {
        outputFill->setPlainText(results.output);
        outputFill->waitUntilShown();
    }
    if (results.status != Status::Read) {
        warn(results.notice);
        testing->finish();
        return;
    }
    qDebug() << results.rate;
    ui->haopinglvLable->setText(QStringLiteral("好评率:") + QString::number(results.rate, 'f', 2) + QStringLiteral("%"));

    warn(QStringLiteral("测试完成"), QStringLiteral("测试已完成"));
    testing->finish();
}

void MainWindow::on_pushButton_clicked()
{
    const QString path = chooseTextFile();
    if (path.isNull())
        return;
    // A failed import leaves the test box, and any test run, alone.
    const ImportedText imported = importTestText(path);
    switch (imported.status) {
    case ImportedText::Status::Unreadable:
        warn(QStringLiteral("测试异常"), QStringLiteral("请检查磁盘是否已满。"));
        return;
    case ImportedText::Status::Refused:
        warn(QStringLiteral("无法导入"), imported.reason);
        return;
    case ImportedText::Status::Read:
        ui->test_txt->setPlainText(imported.text);
        return;
    }
}
