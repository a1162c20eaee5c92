#ifndef MAINWINDOWPROBE_H
#define MAINWINDOWPROBE_H

#include "mainwindow.h"
#include "mainwindowform.h"

#include <QDir>
#include <QProcess>
#include <QTimer>

// Read access to the window's private state, for assertions only.
struct MainWindowProbe
{
    static MainWindowForm *form(MainWindow &w) { return w.ui; }
    static QString reviewsPath(const MainWindow &w) { return w.reviewsPath; }
    static QString labelsPath(const MainWindow &w) { return w.labelsPath; }
    static QDir *workDir(const MainWindow &w) { return w.workDir; }
    static QProcess *trainProcess(const MainWindow &w) { return w.trainProcess; }
    static QProcess *testProcess(const MainWindow &w) { return w.testProcess; }
    static QTimer *pollTimer(const MainWindow &w) { return w.pollTimer; }
};

#endif // MAINWINDOWPROBE_H
