#include "runclaim.h"

#include <QFile>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN

// Windows, best effort (untested here): the lock file is opened without
// sharing, so a second open fails for as long as any handle to it lives,
// including the inherited one in the worker and its children.
std::unique_ptr<RunClaim> RunClaim::take(const QString &name, Outcome *outcome)
{
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(name.utf16()), GENERIC_READ | GENERIC_WRITE,
                           0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        *outcome = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? Outcome::Busy
                                                                                     : Outcome::Failed;
        return nullptr;
    }
    *outcome = Outcome::Taken;
    return std::unique_ptr<RunClaim>(new RunClaim(reinterpret_cast<qintptr>(h)));
}

RunClaim::~RunClaim()
{
    CloseHandle(reinterpret_cast<HANDLE>(lockHandle));
}

#else

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

#endif
