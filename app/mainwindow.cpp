#include "mainwindow.h"
#include "mainwindowform.h"

#include "scriptlauncher.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLockFile>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QStringList>
#include <QTextEdit>
#include <QTextStream>
#include <QTimer>

#include <cmath>
#include <memory>

namespace {

const QString progressFileName = QStringLiteral("计数.txt");

// Creates one directory level; the parent must exist.
bool ensureDirectory(const QString &path)
{
    QDir dir(path);
    if (dir.exists())
        return true;
    return dir.mkdir(path);
}

// Reads a text file line by line, each line followed by "\n"; an empty file
// gives an empty string.
QString readLines(QFile &file)
{
    QTextStream in(&file);
    QString text;
    for (QString line = in.readLine(); !line.isNull(); line = in.readLine())
        text += line + QLatin1Char('\n');
    return text.isNull() ? QStringLiteral("") : text;
}

// The last few lines a worker wrote to its standard error: that is where it
// explains why it refused its input.
QString stderrTail(QProcess *process)
{
    const QString all = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
    if (all.isEmpty())
        return QString();
    QStringList lines = all.split(QLatin1Char('\n'));
    const int keep = 6;
    if (lines.size() > keep)
        lines = lines.mid(lines.size() - keep);
    for (QString &line : lines) {
        line = line.trimmed();
        if (line.size() > 300)
            line = line.left(300) + QStringLiteral("…");
    }
    return lines.join(QLatin1Char('\n'));
}

// Why a worker ended without its end signal, for the warning box.
QString workerFailure(QProcess *process, const QString &scriptName)
{
    QString text;
    if (process->error() == QProcess::FailedToStart) {
        text = QStringLiteral("无法启动工作脚本“%1”：%2\n请确认它在工作目录 %3 中。")
                   .arg(scriptName, process->errorString(),
                        QDir::toNativeSeparators(QDir::currentPath()));
    } else if (process->exitStatus() == QProcess::CrashExit) {
        text = QStringLiteral("工作脚本“%1”意外终止。").arg(scriptName);
    } else {
        text = QStringLiteral("工作脚本“%1”已退出（退出码 %2），但没有给出完成信号。")
                   .arg(scriptName)
                   .arg(process->exitCode());
    }
    const QString tail = stderrTail(process);
    if (!tail.isEmpty())
        text += QStringLiteral("\n\n") + tail;
    return text;
}

// Claims a run kind's exchange files in the work directory. On failure the
// lock is returned unlocked, with its error saying whether another window
// holds it or the directory cannot be written.
std::unique_ptr<QLockFile> lockRunFiles(const QString &name)
{
    auto lock = std::make_unique<QLockFile>(name);
    // A run may take longer than any age limit; only a dead holder is stale.
    lock->setStaleLockTime(0);
    lock->tryLock(0);
    return lock;
}

// The box for a lock that could not be taken; `kind` is "训练" or "测试".
QString lockFailure(const QLockFile &lock, const QString &kind)
{
    if (lock.error() == QLockFile::LockFailedError)
        return QStringLiteral("另一个窗口正在这个工作目录中%1。请等它完成后再开始%1。").arg(kind);
    return QStringLiteral("无法在工作目录 %1 中写入文件，%2没有开始。请检查目录权限和磁盘空间。")
        .arg(QDir::toNativeSeparators(QDir::currentPath()), kind);
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
}

MainWindow::~MainWindow()
{
    delete ui;
    delete workDir;
    delete trainLock;
    delete testLock;
    // A worker still running is left alone: its results stay in the work
    // directory for the next session.
}

void MainWindow::warn(const QString &title, const QString &text)
{
    QMessageBox::warning(this, title, text, QMessageBox::Yes, QMessageBox::NoButton);
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

bool MainWindow::stageTrainingInputs()
{
    const QString stagedReviews = QStringLiteral("temp/reviews.txt");
    const QString stagedLabels = QStringLiteral("temp/labels.txt");
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

    ensureDirectory(QDir::currentPath() + QStringLiteral("/temp/"));
    // QFile::copy never overwrites: a copy left by an interrupted start would
    // otherwise be trained on instead of the chosen file.
    workDir->remove(stagedReviews);
    workDir->remove(stagedLabels);
    if (!QFile::copy(reviewsPath, stagedReviews) || !QFile::copy(labelsPath, stagedLabels)) {
        workDir->remove(stagedReviews);
        workDir->remove(stagedLabels);
        warn(QStringLiteral("无法准备训练数据"),
             QStringLiteral("无法把所选文件复制到暂存目录 %1。请检查磁盘空间和目录权限。训练没有开始，没有文件被删除。")
                 .arg(QDir::toNativeSeparators(QDir::current().absoluteFilePath(QStringLiteral("temp")))));
        return false;
    }

    // Complete copies of both inputs exist now, so the old exchange files may
    // go, even when one of them is itself the chosen input.
    QStringList stuck;
    for (const QString &name : {QStringLiteral("labels.txt"), QStringLiteral("reviews.txt"), progressFileName}) {
        if (workDir->exists(name) && !workDir->remove(name))
            stuck.append(name);
    }
    if (stuck.isEmpty()
        && QFile::copy(stagedReviews, QStringLiteral("reviews.txt"))
        && QFile::copy(stagedLabels, QStringLiteral("labels.txt"))) {
        workDir->remove(stagedReviews);
        workDir->remove(stagedLabels);
        return true;
    }
    // The staged copies stay: they may be the only copy of a chosen input.
    warn(QStringLiteral("无法准备训练数据"),
         QStringLiteral("无法在工作目录中更新 %1。训练没有开始；所选文件的副本保留在 temp 目录中。")
             .arg(stuck.isEmpty() ? QStringLiteral("reviews.txt / labels.txt") : stuck.join(QStringLiteral("、"))));
    return false;
}

// Starts a worker script with its poll timer. When the worker cannot start or
// exits, `workerGone` looks one last time for its end signal and otherwise
// ends the run, so that a broken worker never blocks the window for good.
QProcess *MainWindow::startWorker(const QString &scriptName, QTimer *timer, const char *pollSlot,
                                  void (MainWindow::*workerGone)(QProcess *))
{
    auto *process = new QProcess;
    const QPointer<QProcess> guarded(process);
    // Queued, because the handler deletes the process, which must not happen
    // inside the process's own signal.
    const auto later = [this, guarded, workerGone] {
        QMetaObject::invokeMethod(this, [this, guarded, workerGone] {
            if (guarded)
                (this->*workerGone)(guarded.data());
        }, Qt::QueuedConnection);
    };
    connect(process, &QProcess::errorOccurred, this, [process, later](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart && process->state() == QProcess::NotRunning)
            later();
    });
    connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this, later);

    connect(timer, SIGNAL(timeout()), this, pollSlot);
    timer->start(500);
    startWorkerScript(process, scriptName);
    return process;
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
    std::unique_ptr<QLockFile> lock = lockRunFiles(QStringLiteral("emotion.bat.lock"));
    if (!lock->isLocked()) {
        warn(lock->error() == QLockFile::LockFailedError ? QStringLiteral("请等待进程关闭")
                                                         : QStringLiteral("无法开始训练"),
             lockFailure(*lock, QStringLiteral("训练")));
        return;
    }
    if (!stageTrainingInputs())
        return;

    trainLock = lock.release();
    trainTimer = new QTimer(this);
    pollTimer = trainTimer;
    trainProcess = startWorker(QStringLiteral("emotion.bat"), trainTimer, SLOT(check()),
                               &MainWindow::trainingWorkerGone);
}

void MainWindow::check()
{
    if (!trainProcess || !trainTimer || !trainTimer->isActive())
        return; // a last look after the run has already ended

    QFile file(progressFileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QTextStream in(&file);
    double value = 0;
    in >> value;

    if (std::fabs(value - 1) < 1e-6) {
        finishTraining();
        return;
    }
    qDebug() << value;
    // Truncating anything in (-1, 101) lands in the bar's range 0..100; all
    // else (NaN too) is ignored, and the int conversion cannot overflow.
    const double percent = value * 100;
    if (percent > -1.0 && percent < 101.0)
        ui->progressBar->setValue(static_cast<int>(percent));
    file.close();
}

void MainWindow::finishTraining()
{
    trainTimer->stop();
    ui->progressBar->setValue(100);
    warn(QStringLiteral("训练完成"), QStringLiteral("神经网络已经训练完成"));
    trainProcess->waitForFinished(30000);
    trainProcess->close();
    delete trainProcess;
    trainProcess = nullptr;
    delete trainLock;
    trainLock = nullptr;
}

void MainWindow::trainingWorkerGone(QProcess *process)
{
    if (process != trainProcess || !trainTimer->isActive())
        return; // already completed, or completing behind an open box
    check(); // a worker that wrote 1 and exited at once has still finished
    if (process != trainProcess || !trainTimer->isActive())
        return;

    trainTimer->stop();
    const QString text = workerFailure(process, QStringLiteral("emotion.bat"));
    process->close();
    delete process;
    trainProcess = nullptr;
    delete trainLock;
    trainLock = nullptr;
    warn(QStringLiteral("训练未完成"), QStringLiteral("训练没有完成。\n") + text);
}

void MainWindow::on_text_button_clicked()
{
    if (testProcess) {
        warn(QStringLiteral("请等待进程关闭"),
             QStringLiteral("测试进程正在运行。神经网络计算量较大，请耐心等待。"));
        return;
    }
    std::unique_ptr<QLockFile> lock = lockRunFiles(QStringLiteral("test.bat.lock"));
    if (!lock->isLocked()) {
        warn(lock->error() == QLockFile::LockFailedError ? QStringLiteral("请等待进程关闭")
                                                         : QStringLiteral("无法开始测试"),
             lockFailure(*lock, QStringLiteral("测试")));
        return;
    }
    const QString text = ui->test_txt->toPlainText();

    QFile file(QStringLiteral("test.txt"));
    if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate | QIODevice::Text)) {
        warn(QStringLiteral("文件打开失败"), QStringLiteral("请检查是否磁盘已满"));
        return;
    }
    QTextStream out(&file);
    out << text;
    out.flush();
    file.close();
    // A short write would have the worker classify a cut-off text.
    if (out.status() != QTextStream::Ok || file.error() != QFileDevice::NoError) {
        warn(QStringLiteral("文件打开失败"), QStringLiteral("请检查是否磁盘已满"));
        return;
    }

    // Old results must go before the worker starts: an old "out.txt" would end
    // the run at once, and an old "percent.txt" would show a stale rate.
    for (const QString &name : {QStringLiteral("out.txt"), QStringLiteral("percent.txt")}) {
        if (workDir->exists(name) && !workDir->remove(name)) {
            warn(QStringLiteral("测试异常"),
                 QStringLiteral("无法删除上一次的结果文件 %1，测试没有开始。请检查文件权限。").arg(name));
            return;
        }
    }

    testLock = lock.release();
    testTimer = new QTimer(this);
    pollTimer = testTimer;
    testProcess = startWorker(QStringLiteral("test.bat"), testTimer, SLOT(checkTestflie()),
                              &MainWindow::testWorkerGone);
}

void MainWindow::checkTestflie()
{
    if (!testProcess || !testTimer || !testTimer->isActive())
        return; // a last look after the run has already ended
    if (!workDir->exists(QStringLiteral("out.txt")))
        return;
    testTimer->stop();

    QFile output(QStringLiteral("out.txt"));
    if (!output.open(QIODevice::ReadOnly | QIODevice::Text)) {
        warn(QStringLiteral("测试异常"), QStringLiteral("请检查磁盘是否已满。"));
        endTestRun();
        return;
    }
    // Plain text: review lines that look like HTML must keep every line.
    ui->text_ans->setPlainText(readLines(output));

    QFile percent(QStringLiteral("percent.txt"));
    if (!percent.open(QIODevice::ReadOnly | QIODevice::Text)) {
        warn(QStringLiteral("测试异常"), QStringLiteral("请检查磁盘是否已满。"));
        endTestRun();
        return;
    }
    QTextStream in(&percent);
    double rate = 0;
    in >> rate;
    qDebug() << rate;
    ui->haopinglvLable->setText(QStringLiteral("好评率:") + QString::number(rate, 'f', 2) + QStringLiteral("%"));

    warn(QStringLiteral("测试完成"), QStringLiteral("测试已完成"));
    endTestRun();
}

void MainWindow::endTestRun()
{
    testProcess->waitForFinished(30000);
    testProcess->close();
    delete testProcess;
    testProcess = nullptr;
    delete testLock;
    testLock = nullptr;
}

void MainWindow::testWorkerGone(QProcess *process)
{
    if (process != testProcess || !testTimer->isActive())
        return; // already completed, or completing behind an open box
    checkTestflie(); // the worker may have written its files and exited at once
    if (process != testProcess || !testTimer->isActive())
        return;

    testTimer->stop();
    const QString text = workerFailure(process, QStringLiteral("test.bat"));
    process->close();
    delete process;
    testProcess = nullptr;
    delete testLock;
    testLock = nullptr;
    warn(QStringLiteral("测试未完成"), QStringLiteral("测试没有完成，没有生成结果文件 out.txt。\n") + text);
}

void MainWindow::on_pushButton_clicked()
{
    const QString path = chooseTextFile();
    if (path.isNull())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        // A failed import leaves any test run alone.
        warn(QStringLiteral("测试异常"), QStringLiteral("请检查磁盘是否已满。"));
        return;
    }
    ui->test_txt->setPlainText(readLines(file));
}
