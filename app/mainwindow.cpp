#include "mainwindow.h"
#include "mainwindowform.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QStringList>
#include <QTimer>

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

void MainWindow::on_text_button_clicked()
{
}

void MainWindow::on_pushButton_4_clicked()
{
}

void MainWindow::check()
{
}

void MainWindow::checkTestflie()
{
}

void MainWindow::on_pushButton_clicked()
{
}
