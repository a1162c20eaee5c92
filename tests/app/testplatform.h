#ifndef TESTPLATFORM_H
#define TESTPLATFORM_H

#include <QByteArray>
#include <QString>
#include <QTextCodec>

#include <algorithm>

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

// The bytes test.txt holds for this UTF-8 text: the text itself where the
// system's code page is UTF-8 or the text is ASCII, otherwise UTF-8 with a
// byte-order mark; line ends as the platform writes them.
inline QByteArray asTestFile(const QByteArray &utf8)
{
    const bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<uchar>(c) < 0x80; });
    const bool plain = ascii || QTextCodec::codecForLocale()->mibEnum() == 106;
    return withPlatformLineEnds(plain ? utf8 : "\xEF\xBB\xBF" + utf8);
}

// UTF-8 output as the platform's worker writes it to out.txt: on Windows
// with a byte-order mark, which tells it from the code page.
QByteArray asWorkerOutput(const QByteArray &utf8);

// Makes a FIFO; false where there are none.
bool makeFifo(const QString &path);

} // namespace TestPlatform

#endif // TESTPLATFORM_H
