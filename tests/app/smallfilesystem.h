#ifndef SMALLFILESYSTEM_H
#define SMALLFILESYSTEM_H

#include <QByteArray>
#include <QString>

// A small file system mounted on a fresh directory for one test, to fill up
// or to make read-only. Only Linux, as root, can mount one
// (smallfilesystem_linux.cpp); elsewhere it is never mounted and the tests
// that need it skip. The test works inside it and leaves it (back to
// `workDir`) before it is unmounted.
class SmallFileSystem
{
public:
    SmallFileSystem(const QString &mountPoint, const QString &workDir, const char *size);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem &) = delete;
    SmallFileSystem &operator=(const SmallFileSystem &) = delete;

    bool isMounted() const { return mounted; }
    // Read-only even for root: the file system itself refuses writes.
    bool makeReadOnly();

private:
    QByteArray point;
    QString back;
    QByteArray options;
    bool mounted = false;
};

#endif // SMALLFILESYSTEM_H
