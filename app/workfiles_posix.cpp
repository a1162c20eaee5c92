#include "workfiles.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace WorkFiles {

bool replaceEntry(const QString &from, const QString &to)
{
    // rename(2) replaces the directory entry; it never writes through a link.
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

OpenResult openRegularFile(const QString &path, QFile &file)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return OpenResult::NotRegular;
    // The file may have been swapped since the look above: open without
    // waiting for a FIFO writer and judge what was actually opened.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return OpenResult::Failed;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return OpenResult::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return OpenResult::NotRegular;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return OpenResult::Failed;
    }
    return OpenResult::Opened;
}

} // namespace WorkFiles
