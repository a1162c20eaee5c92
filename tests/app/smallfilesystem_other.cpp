#include "smallfilesystem.h"

#include <QDir>

// No tmpfs to mount: the tests that need one skip.
SmallFileSystem::SmallFileSystem(const QString &mountPoint, const QString &workDir, const char *size)
    : point(mountPoint.toLocal8Bit()), back(workDir), options(QByteArray("size=") + size)
{
}

SmallFileSystem::~SmallFileSystem()
{
    QDir::setCurrent(back);
}

bool SmallFileSystem::makeReadOnly()
{
    return false;
}
