#include "workfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace WorkFiles {

bool entryExists(const QString &name)
{
    const QFileInfo info(name);
    return info.isSymLink() || info.exists();
}

bool removeEntry(const QString &name)
{
    if (!entryExists(name))
        return true;
    QFile::remove(name); // unlinks a link itself
    return !entryExists(name);
}

bool ensureRealDirectory(const QString &name)
{
    const QFileInfo info(name);
    if (info.isDir() && !info.isSymLink())
        return true;
    if (!removeEntry(name))
        return false;
    return QDir().mkdir(name);
}

bool replaceEntry(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    // MoveFileExW replaces the entry `to` (a symbolic link included) rather
    // than the file it points to.
    return MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                       MOVEFILE_REPLACE_EXISTING)
        != 0;
#else
    // rename(2) replaces the directory entry; it never writes through a link.
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

OpenResult openRegularFile(const QString &path, QFile &file)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return OpenResult::NotRegular;
#ifdef Q_OS_WIN
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly) ? OpenResult::Opened : OpenResult::Failed;
#else
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
#endif
}

bool copyToNewFile(QFile &source, const QString &to)
{
    QFile target(to);
    // NewOnly creates exclusively: an entry already there, a link included,
    // fails the copy.
    if (!target.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    for (;;) {
        const QByteArray chunk = source.read(1 << 20);
        if (chunk.isEmpty() || target.write(chunk) != chunk.size())
            break;
    }
    const bool ok = source.error() == QFileDevice::NoError && target.error() == QFileDevice::NoError
                    && target.flush();
    target.close();
    if (!ok || target.error() != QFileDevice::NoError) {
        target.remove();
        return false;
    }
    return true;
}

} // namespace WorkFiles
