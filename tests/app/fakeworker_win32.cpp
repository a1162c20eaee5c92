#include "fakeworker.h"

#include <QDir>

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace FakeWorker {

void useBinaryStandardStreams()
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

namespace {

QString quoted(const QString &word)
{
    return QLatin1Char('"') + word + QLatin1Char('"');
}

} // namespace

// The child inherits every inheritable handle (the run's claim among them)
// and has this process as its parent, so "taskkill /T" on the worker reaches
// it. The arguments carry no quotes or spaces of their own.
qint64 startChild(const QString &program, const QStringList &arguments, bool quiet)
{
    QString commandLine = quoted(QDir::toNativeSeparators(program));
    for (const QString &argument : arguments)
        commandLine += QLatin1Char(' ') + quoted(argument);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE null = INVALID_HANDLE_VALUE;
    if (quiet) {
        null = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                           OPEN_EXISTING, 0, nullptr);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = startup.hStdOutput = startup.hStdError = null;
    }
    PROCESS_INFORMATION info{};
    std::wstring line = commandLine.toStdWString();
    const BOOL started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                        &info);
    if (null != INVALID_HANDLE_VALUE)
        CloseHandle(null);
    if (!started)
        return -1;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return info.dwProcessId;
}

// Qt reports a worker that ends with an exception status as crashed.
void crash()
{
    TerminateProcess(GetCurrentProcess(), 0xC0000005);
    ExitProcess(0xC0000005);
}

} // namespace FakeWorker
