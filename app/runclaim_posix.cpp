#include "runclaim.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

std::unique_ptr<RunClaim> RunClaim::take(const QString &name, Outcome *outcome)
{
    const QByteArray path = QFile::encodeName(name);
    const int flags = O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW;
    int fd = ::open(path.constData(), flags, 0644);
    if (fd < 0 && errno == ELOOP && ::unlink(path.constData()) == 0)
        fd = ::open(path.constData(), flags, 0644); // a planted link is replaced, never followed
    if (fd < 0) {
        *outcome = Outcome::Failed;
        return nullptr;
    }
    // flock() locks belong to the open file, which the worker shares through
    // the inherited descriptor: the lock goes only when the last holder closes.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *outcome = errno == EWOULDBLOCK ? Outcome::Busy : Outcome::Failed;
        ::close(fd);
        return nullptr;
    }
    *outcome = Outcome::Taken;
    return std::unique_ptr<RunClaim>(new RunClaim(fd));
}

RunClaim::~RunClaim()
{
    ::close(static_cast<int>(lockHandle));
}
