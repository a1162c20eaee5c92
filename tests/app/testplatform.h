#ifndef TESTPLATFORM_H
#define TESTPLATFORM_H

#include <QByteArray>
#include <QString>

// What the window's tests do differently on Windows and POSIX
// (testplatform_win32.cpp, testplatform_posix.cpp).
namespace TestPlatform {

// A worker script that starts the fake worker, built beside the test, on
// these steps (WorkerSteps::text): a shell script or a batch file.
QByteArray workerScript(const QByteArray &steps);

// True where the file system has FIFOs, symbolic links that anyone may make,
// execute bits and a POSIX shell, and replaces a file that is open: the tests
// of those skip or expect otherwise elsewhere.
bool hasPosixFiles();

// Text as a file opened in text mode holds it: line feeds become CR LF on
// Windows.
QByteArray withPlatformLineEnds(QByteArray text);

// Makes a FIFO; false where there are none.
bool makeFifo(const QString &path);

} // namespace TestPlatform

#endif // TESTPLATFORM_H
