#include "testplatform.h"

#include <QCoreApplication>
#include <QFile>

#include <sys/stat.h>

namespace TestPlatform {

// The script hands itself ($0) to the fake worker, which reads the steps
// after "::steps"; the shell never gets that far.
QByteArray workerScript(const QByteArray &steps)
{
    const QByteArray program = QFile::encodeName(QCoreApplication::applicationDirPath() + "/fakeworker");
    return "#!/bin/sh\nexec '" + program + "' \"$0\"\n::steps\n" + steps;
}

bool hasPosixFiles()
{
    return true;
}

QByteArray withPlatformLineEnds(QByteArray text)
{
    return text;
}

QByteArray asWorkerOutput(const QByteArray &utf8)
{
    return utf8;
}

bool makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

} // namespace TestPlatform
