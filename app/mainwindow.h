#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QString>

class QDir;
class QLockFile;
class QProcess;
class QTimer;
struct MainWindowForm;

// The program's one window: training on the left, testing on the right. The
// numeric work is done by the worker scripts "emotion.bat" and "test.bat" in the
// work directory; the window stages their input files, starts them and polls
// the files they write.
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
    bool stageTrainingInputs();
    QProcess *startWorker(const QString &scriptName, QTimer *timer, const char *pollSlot,
                          void (MainWindow::*workerGone)(QProcess *));
    void finishTraining();
    void trainingWorkerGone(QProcess *process);
    void endTestRun();
    void testWorkerGone(QProcess *process);

    QString reviewsPath;
    QString labelsPath;
    QDir *workDir;
    QProcess *trainProcess;
    QProcess *testProcess;
    QTimer *pollTimer;
    MainWindowForm *ui;

    // Each kind of run polls with a timer of its own, so that a test run and a
    // training run that overlap never stop each other's polling. pollTimer
    // points at the latest run's timer.
    QTimer *trainTimer = nullptr;
    QTimer *testTimer = nullptr;

    // Held while a run of that kind is in progress, so that two windows in the
    // same work directory never share one run's exchange files.
    QLockFile *trainLock = nullptr;
    QLockFile *testLock = nullptr;

    friend struct MainWindowProbe; // lets the tests see the run state
};

#endif // MAINWINDOW_H
