#include "mainwindow.h"
#include "mainwindowform.h"

#include "exchangefiles.h"
#include "notice.h"
#include "runclaim.h"
#include "runkind.h"
#include "textimport.h"
#include "warningbox.h"
#include "workerrun.h"
#include "workfiles.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QStringList>
#include <QTextEdit>
#include <QTemporaryFile>
#include <QTextStream>
#include <QTimer>

#include <cmath>
#include <memory>
#include <optional>

namespace {

// Copies a regular file to a new entry of the work directory.
bool copyRegularFile(const QString &from, const QString &to)
{
    QFile source;
    return WorkFiles::openRegularFile(from, source) == WorkFiles::OpenResult::Opened
        && WorkFiles::copyToNewFile(source, to);
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , workDir(nullptr)
    , trainProcess(nullptr)
    , testProcess(nullptr)
    , pollTimer(nullptr)
    , ui(new MainWindowForm)
{
    ui->setupForm(this);
    // An empty path is ".", so the object always means the current directory.
    workDir = new QDir(QString());

    const auto report = [this](const Notice &notice) { warn(notice); };
    training = std::make_unique<WorkerRun>(RunKind::training(), trainProcess, this, SLOT(check()),
                                           [this] { check(); }, report);
    testing = std::make_unique<WorkerRun>(RunKind::testing(), testProcess, this, SLOT(checkTestflie()),
                                          [this] { checkTestflie(); }, report);
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

// Claims a run's exchange files, or tells the user why not and gives null.
std::unique_ptr<RunClaim> MainWindow::claimFor(WorkerRun &run)
{
    WorkerRun::ClaimAttempt attempt = run.claim();
    if (!attempt.claim)
        warn(attempt.refusal);
    return std::move(attempt.claim);
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
    if (dialog.exec() == 0)
        return QString();
    return dialog.selectedFiles().value(0);
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

// Only a regular file can be staged: a FIFO would block the copy, and a
// directory or device is no review file.
bool MainWindow::acceptsAsInput(const QString &path, const QString &title, const QString &role)
{
    if (QFileInfo(path).isFile())
        return true;
    warn(title, QStringLiteral("“%1”不是普通文件（而是目录、管道或设备），不能用作%2。请选择一个文本文件。")
                    .arg(QDir::toNativeSeparators(path), role));
    return false;
}

bool MainWindow::stageTrainingInputs()
{
    const QString &staging = ExchangeFiles::staging;
    const QString &stagedReviews = ExchangeFiles::stagedReviews;
    const QString &stagedLabels = ExchangeFiles::stagedLabels;
    const QString stagingFailure =
        QStringLiteral("无法把所选文件复制到暂存目录 %1。请检查磁盘空间和目录权限。训练没有开始，没有文件被删除。")
            .arg(QDir::toNativeSeparators(QDir::current().absoluteFilePath(staging)));

    // A file named temp makes way for the directory below, unless the user
    // chose that very file.
    const QFileInfo stagingEntry(staging);
    const auto isStagingEntry = [&](const QString &path) {
        return !stagingEntry.isSymLink() && stagingEntry.isFile()
            && QFileInfo(path).canonicalFilePath() == stagingEntry.canonicalFilePath();
    };
    if (isStagingEntry(reviewsPath) || isStagingEntry(labelsPath)) {
        warn(QStringLiteral("无法准备训练数据"),
             QStringLiteral("所选文件名为 temp，占用了暂存目录的位置，请先把它改名或移到别处再选择。"));
        return false;
    }
    // A link named temp would have the staging copies written, and removed,
    // in some other directory.
    if (!WorkFiles::ensureRealDirectory(staging)) {
        warn(QStringLiteral("无法准备训练数据"), stagingFailure);
        return false;
    }
    const auto isStagingFile = [&](const QString &path) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        return canonical == QFileInfo(stagedReviews).canonicalFilePath()
            || canonical == QFileInfo(stagedLabels).canonicalFilePath();
    };
    // Clearing the staging area would delete such a choice itself.
    if (isStagingFile(reviewsPath) || isStagingFile(labelsPath)) {
        warn(QStringLiteral("无法准备训练数据"),
             QStringLiteral("所选文件位于暂存目录 temp 中，请先把它移到别处再选择。"));
        return false;
    }

    // Copies never overwrite: a copy left by an interrupted start would
    // otherwise be trained on instead of the chosen file.
    WorkFiles::removeEntry(stagedReviews);
    WorkFiles::removeEntry(stagedLabels);
    if (!copyRegularFile(reviewsPath, stagedReviews) || !copyRegularFile(labelsPath, stagedLabels)) {
        WorkFiles::removeEntry(stagedReviews);
        WorkFiles::removeEntry(stagedLabels);
        warn(QStringLiteral("无法准备训练数据"), stagingFailure);
        return false;
    }

    // Complete copies of both inputs exist now, so the old exchange files may
    // go, even when one of them is itself the chosen input.
    QStringList stuck;
    for (const QString &name : {ExchangeFiles::labels, ExchangeFiles::reviews, ExchangeFiles::progress}) {
        if (!WorkFiles::removeEntry(name))
            stuck.append(name);
    }
    if (stuck.isEmpty()
        && copyRegularFile(stagedReviews, ExchangeFiles::reviews)
        && copyRegularFile(stagedLabels, ExchangeFiles::labels)) {
        WorkFiles::removeEntry(stagedReviews);
        WorkFiles::removeEntry(stagedLabels);
        return true;
    }
    // The staged copies stay: they may be the only copy of a chosen input.
    warn(QStringLiteral("无法准备训练数据"),
         QStringLiteral("无法在工作目录中更新 %1。训练没有开始；所选文件的副本保留在 temp 目录中。")
             .arg(stuck.isEmpty() ? QStringLiteral("reviews.txt / labels.txt") : stuck.join(QStringLiteral("、"))));
    return false;
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
    if (!acceptsAsInput(reviewsPath, QStringLiteral("选择点评内容文件"), QStringLiteral("点评内容文件"))
        || !acceptsAsInput(labelsPath, QStringLiteral("选择点评标签文件"), QStringLiteral("点评标签文件")))
        return;
    std::unique_ptr<RunClaim> claim = claimFor(*training);
    if (!claim || !stageTrainingInputs())
        return;
    pollTimer = training->start(std::move(claim));
}

void MainWindow::check()
{
    if (!training->polling())
        return; // a last look after the run has already ended

    const std::optional<double> read = ExchangeFiles::readNumber(ExchangeFiles::progress);
    if (!read)
        return;
    const double value = *read;

    if (std::fabs(value - 1) < 1e-6) {
        training->stopPolling();
        ui->progressBar->setValue(100);
        warn(QStringLiteral("训练完成"), QStringLiteral("神经网络已经训练完成"));
        training->finish();
        return;
    }
    qDebug() << value;
    // Truncating anything in (-1, 101) lands in the bar's range 0..100; all
    // else (NaN too) is ignored, and the int conversion cannot overflow.
    const double percent = value * 100;
    if (percent > -1.0 && percent < 101.0)
        ui->progressBar->setValue(static_cast<int>(percent));
}

// Writes the test text to a new file and renames it over "test.txt", so that
// a link planted as "test.txt" is replaced rather than written through, and
// the worker never sees a half-written file.
bool MainWindow::writeTestFile(const QString &text)
{
    QTemporaryFile file(ExchangeFiles::testText + QStringLiteral(".XXXXXX"));
    if (!file.open())
        return false;
    file.setTextModeEnabled(true);
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    QTextStream out(&file);
    out << text;
    out.flush();
    // A short write would have the worker classify a cut-off text.
    const bool written = out.status() == QTextStream::Ok && file.flush() && file.error() == QFileDevice::NoError;
    file.close();
    if (!written || file.error() != QFileDevice::NoError
        || !WorkFiles::replaceEntry(file.fileName(), ExchangeFiles::testText))
        return false;
    file.setAutoRemove(false); // it is "test.txt" now
    return true;
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
    if (!writeTestFile(ui->test_txt->toPlainText())) {
        warn(QStringLiteral("文件打开失败"), QStringLiteral("请检查是否磁盘已满"));
        return;
    }

    // Old results must go before the worker starts: an old "out.txt" would end
    // the run at once, and an old "percent.txt" would show a stale rate.
    for (const QString &name : {ExchangeFiles::output, ExchangeFiles::percent}) {
        if (!WorkFiles::removeEntry(name)) {
            warn(QStringLiteral("测试异常"),
                 QStringLiteral("无法删除上一次的结果文件 %1，测试没有开始。请检查文件权限。").arg(name));
            return;
        }
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

    const std::optional<QString> output = ExchangeFiles::readLines(ExchangeFiles::output);
    if (!output) {
        warn(QStringLiteral("测试异常"), QStringLiteral("请检查磁盘是否已满。"));
        testing->finish();
        return;
    }
    // Plain text: review lines that look like HTML must keep every line.
    ui->text_ans->setPlainText(*output);

    const std::optional<double> read = ExchangeFiles::readNumber(ExchangeFiles::percent);
    if (!read) {
        warn(QStringLiteral("测试异常"), QStringLiteral("请检查磁盘是否已满。"));
        testing->finish();
        return;
    }
    const double rate = *read;
    qDebug() << rate;
    ui->haopinglvLable->setText(QStringLiteral("好评率:") + QString::number(rate, 'f', 2) + QStringLiteral("%"));

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
