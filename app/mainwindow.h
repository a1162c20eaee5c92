#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "choseninputnames.h"

#include <QMainWindow>
#include <QString>

#include <memory>

class GradualTextFill;
class QDir;
class QProcess;
class QTimer;
class RunClaim;
class WorkerRun;
struct MainWindowForm;
struct Notice;

// The program's one window: training on the left, testing on the right. The
// numeric work is done by the worker scripts "emotion.bat" and "test.bat" in the
// work directory; the window hands them their input files, starts them and
// polls the files they write (the exchange with them is TrainingExchange's
// and TestExchange's).
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private slots:
    void on_text_button_clicked();
    void on_pushButton_4_clicked();
    void on_button_file_clicked();
    void on_pushButton_2_clicked();
    void check();
    void checkTestflie();
    void on_pushButton_clicked();

private:
    QString chooseTextFile();
    void warn(const QString &title, const QString &text);
    void warn(const Notice &notice);
    std::unique_ptr<RunClaim> claimFor(WorkerRun &run);

    QString reviewsPath;
    QString labelsPath;
    QDir *workDir;
    QProcess *trainProcess;
    QProcess *testProcess;
    QTimer *pollTimer;
    MainWindowForm *ui;

    // Each kind of run has its own timer and claim, so that overlapping test
    // and training runs never stop each other's polling; pollTimer points at
    // the latest run's timer.
    std::unique_ptr<WorkerRun> training;
    std::unique_ptr<WorkerRun> testing;
    // The files the running training was started on, by which its worker's
    // messages are told to the user.
    ChosenInputNames trainingInputs;
    // Puts a test's output into text_ans a part at a time (a child of it).
    GradualTextFill *outputFill = nullptr;

    friend struct MainWindowProbe; // lets the tests see the run state
};

#endif // MAINWINDOW_H
