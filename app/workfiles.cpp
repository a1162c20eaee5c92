#include "workfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
