#include "testplatform.h"

#include <QCoreApplication>
#include <QDir>

namespace TestPlatform {

// The batch file hands itself (%~f0) to the fake worker and returns its exit
// status; cmd never reads the steps after "::steps". Only ASCII, so the code
// page cannot matter.
QByteArray workerScript(const QByteArray &steps)
{
    const QString program = QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + "/fakeworker.exe");
    return "@\"" + program.toUtf8() + "\" \"%~f0\"\r\n@exit /b %errorlevel%\r\n::steps\r\n" + steps;
}

bool hasPosixFiles()
{
    return false;
}

QByteArray withPlatformLineEnds(QByteArray text)
{
    return text.replace("\n", "\r\n");
}

QByteArray asWorkerOutput(const QByteArray &utf8)
{
    return "\xEF\xBB\xBF" + utf8;
}

bool makeFifo(const QString &)
{
    return false;
}

} // namespace TestPlatform
