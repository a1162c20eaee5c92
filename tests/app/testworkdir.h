#ifndef TESTWORKDIR_H
#define TESTWORKDIR_H

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "testplatform.h"
#include "workersteps.h"

// A fresh, empty work directory that is the process's current directory for
// as long as the object lives.
class TestWorkDir
{
public:
    TestWorkDir() : previous(QDir::currentPath()) { QDir::setCurrent(dir.path()); }
    ~TestWorkDir() { QDir::setCurrent(previous); }
    TestWorkDir(const TestWorkDir &) = delete;
    TestWorkDir &operator=(const TestWorkDir &) = delete;

    bool isValid() const { return dir.isValid(); }
    QString path() const { return dir.path(); }
    QString filePath(const QString &name) const { return dir.filePath(name); }

    bool write(const QString &name, const QByteArray &bytes) const
    {
        QFile file(filePath(name));
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
    }

    // A POSIX shell script; `executable` gives it the execute bit.
    bool writeScript(const QString &name, const QByteArray &body, bool executable = true) const
    {
        return writeRunnable(name, "#!/bin/sh\n" + body + "\n", executable);
    }

    // A worker script, for any platform, that runs the fake worker on `steps`.
    bool writeWorker(const QString &name, const WorkerSteps &steps, bool executable = true) const
    {
        return writeRunnable(name, TestPlatform::workerScript(steps.text()), executable);
    }

    bool writeRunnable(const QString &name, const QByteArray &content, bool executable) const
    {
        if (!write(name, content))
            return false;
        QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        if (executable)
            permissions |= QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
        return QFile::setPermissions(filePath(name), permissions);
    }

    QByteArray read(const QString &name) const
    {
        QFile file(filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    bool exists(const QString &name) const { return QFile::exists(filePath(name)); }

    QStringList entries() const
    {
        return QDir(path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

private:
    QString previous;
    QTemporaryDir dir;
};

#endif // TESTWORKDIR_H
