#include "smallfilesystem.h"

#include <QDir>

#include <sys/mount.h>

SmallFileSystem::SmallFileSystem(const QString &mountPoint, const QString &workDir, const char *size)
    : point(mountPoint.toLocal8Bit()), back(workDir), options(QByteArray("size=") + size)
{
    mounted = QDir().mkpath(mountPoint) && ::mount("tmpfs", point.constData(), "tmpfs", 0, options.constData()) == 0;
}

SmallFileSystem::~SmallFileSystem()
{
    QDir::setCurrent(back);
    if (mounted)
        ::umount(point.constData());
}

bool SmallFileSystem::makeReadOnly()
{
    return ::mount("tmpfs", point.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, options.constData()) == 0;
}
