#ifndef RUNFIXTURE_H
#define RUNFIXTURE_H

#include "mainwindowprobe.h"
#include "modalhandler.h"
#include "testworkdir.h"
#include "workerprocess.h"

#include <QByteArray>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

// A window in a fresh work directory, with its modal boxes answered, and fake
// worker scripts written by the test.
struct RunFixture
{
    TestWorkDir dir;
    MainWindow window;
    ModalHandler modals;

    RunFixture() { window.show(); }

    ~RunFixture()
    {
        // Workers still running are killed here, so that no test leaves
        // processes behind; the window itself would leave them alone.
        for (QProcess *process : {MainWindowProbe::trainProcess(window), MainWindowProbe::testProcess(window)}) {
            if (process) {
                process->disconnect();
                endWorker(process);
            }
        }
        delete MainWindowProbe::trainProcess(window);
        delete MainWindowProbe::testProcess(window);
    }

    MainWindowForm *ui() { return MainWindowProbe::form(window); }

    // Ends a worker and all it started, so that nothing a script left in the
    // background outlives the test.
    static void endWorker(QProcess *process)
    {
        if (auto *worker = dynamic_cast<WorkerProcess *>(process))
            worker->endTree();
        else
            process->kill();
        process->waitForFinished(5000);
    }

    // Clicks "开始训练" in a window, with whatever inputs it has chosen.
    void startTraining() { startTraining(window); }
    void startTraining(MainWindow &target)
    {
        QTest::mouseClick(MainWindowProbe::form(target)->pushButton_4, Qt::LeftButton);
    }
    // Chooses the two inputs through the file dialogs, then starts training.
    bool startTraining(const QString &reviews, const QString &labels)
    {
        if (!chooseInputs(reviews, labels))
            return false;
        startTraining();
        return true;
    }
    // Starts training on one review and its label.
    bool startSomeTraining()
    {
        if (!chooseSomeInputs())
            return false;
        startTraining();
        return true;
    }

    // Clicks "测试" in a window, with the test box as it is.
    void startTest() { startTest(window); }
    void startTest(MainWindow &target)
    {
        QTest::mouseClick(MainWindowProbe::form(target)->text_button, Qt::LeftButton);
    }
    // Puts the text in the test box, then starts a test run.
    void startTest(const QString &text)
    {
        ui()->test_txt->setPlainText(text);
        startTest();
    }

    // A POSIX shell script in the work directory.
    bool writeScript(const QString &name, const QByteArray &body, bool executable = true)
    {
        return dir.writeScript(name, body, executable);
    }
    // A fake worker's script in the work directory, for any platform.
    bool writeWorker(const QString &name, const WorkerSteps &steps, bool executable = true)
    {
        return dir.writeWorker(name, steps, executable);
    }

    // One review and its label, chosen: enough for a fake training worker.
    bool chooseSomeInputs()
    {
        return dir.write("r.txt", "x\n") && dir.write("l.txt", "positive\n")
            && chooseInputs(dir.filePath("r.txt"), dir.filePath("l.txt"));
    }

    // Chooses the training inputs through a window's own file dialogs.
    bool chooseInputs(const QString &reviews, const QString &labels) { return chooseInputs(window, reviews, labels); }
    bool chooseInputs(MainWindow &target, const QString &reviews, const QString &labels)
    {
        MainWindowForm *form = MainWindowProbe::form(target);
        const int before = modals.seen.size();
        modals.answerFileDialog({reviews});
        QTest::mouseClick(form->button_file, Qt::LeftButton);
        if (!modals.waitForSeen(before + 1))
            return false;
        modals.answerFileDialog({labels});
        QTest::mouseClick(form->pushButton_2, Qt::LeftButton);
        return modals.waitForSeen(before + 2);
    }

    // Puts a program or script into the work directory, executable.
    bool install(const QString &from, const QString &name)
    {
        const QString to = dir.filePath(name);
        QFile::remove(to);
        return QFile::copy(from, to)
            && QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    int boxCount() const { return modals.boxes().size(); }
    ModalHandler::Seen lastBox() const { return modals.boxes().value(modals.boxes().size() - 1); }
};

#endif // RUNFIXTURE_H
