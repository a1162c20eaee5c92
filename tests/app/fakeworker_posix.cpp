#include "fakeworker.h"

#include <QByteArray>
#include <QFile>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <vector>

namespace FakeWorker {

void useBinaryStandardStreams()
{
}

// A plain fork keeps the child in the worker's process group and hands it
// every descriptor the worker holds, as "command &" in a shell does.
qint64 startChild(const QString &program, const QStringList &arguments, bool quiet)
{
    QList<QByteArray> words{QFile::encodeName(program)};
    for (const QString &argument : arguments)
        words.append(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    if (quiet) {
        const int null = ::open("/dev/null", O_RDWR);
        for (int fd = 0; fd <= 2; ++fd)
            ::dup2(null, fd);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

void crash()
{
    ::kill(::getpid(), SIGKILL);
    ::_exit(137);
}

} // namespace FakeWorker
