#ifndef WORKERSTEPS_H
#define WORKERSTEPS_H

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>

// What a fake worker (fakeworker.cpp) does, step by step, written once for
// every platform: TestWorkDir::writeWorker puts the steps into a script that
// starts the fake worker.
class WorkerSteps
{
public:
    // Like "printf BYTES > NAME": truncates, then writes.
    WorkerSteps &write(const QString &name, const QByteArray &bytes) { return add({"write", name.toUtf8(), bytes}); }
    WorkerSteps &append(const QString &name, const QByteArray &bytes) { return add({"append", name.toUtf8(), bytes}); }
    // Writes a temporary file and renames it over NAME.
    WorkerSteps &replace(const QString &name, const QByteArray &bytes) { return add({"replace", name.toUtf8(), bytes}); }
    WorkerSteps &copy(const QString &from, const QString &to) { return add({"copy", from.toUtf8(), to.toUtf8()}); }
    // Appends "NAME\n" to RECORD when NAME exists (like "[ -e NAME ] && echo").
    WorkerSteps &noteIfExists(const QString &name, const QString &record)
    {
        return add({"note", name.toUtf8(), record.toUtf8()});
    }
    // Appends the file FROM to TO (like "cat FROM >> TO").
    WorkerSteps &catenate(const QString &from, const QString &to) { return add({"cat", from.toUtf8(), to.toUtf8()}); }
    // Appends the names in DIR, a line each and sorted, to RECORD (like "ls").
    WorkerSteps &list(const QString &dir, const QString &record) { return add({"ls", dir.toUtf8(), record.toUtf8()}); }
    WorkerSteps &rename(const QString &from, const QString &to) { return add({"mv", from.toUtf8(), to.toUtf8()}); }
    WorkerSteps &makeDirectory(const QString &name) { return add({"mkdir", name.toUtf8()}); }
    WorkerSteps &sleep(int ms) { return add({"sleep", QByteArray::number(ms)}); }
    // Sleeps for longer than any test waits.
    WorkerSteps &hang() { return sleep(300000); }
    WorkerSteps &print(const QByteArray &bytes) { return add({"print", bytes}); }
    WorkerSteps &complain(const QByteArray &bytes) { return add({"complain", bytes}); }

    enum Channel { Out, Err };
    // BYTES, COUNT times, on standard output or error.
    WorkerSteps &repeat(Channel channel, qint64 count, const QByteArray &bytes)
    {
        return add({"repeat", name(channel), QByteArray::number(count), bytes});
    }
    // COUNT lines "PREFIX 0" to "PREFIX COUNT-1".
    WorkerSteps &numberedLines(Channel channel, qint64 count, const QByteArray &prefix)
    {
        return add({"lines", name(channel), QByteArray::number(count), prefix});
    }

    enum Streams { Inherited, Quiet };
    // Leaves a child behind that performs `child` (like "( ... ) &"), its id
    // written to `pidFile` when one is named. Quiet: its standard streams go
    // to the null device.
    WorkerSteps &spawn(const WorkerSteps &child, Streams streams = Inherited, const QString &pidFile = QString())
    {
        return add({"spawn", pidFile.isEmpty() ? QByteArray("-") : pidFile.toUtf8(),
                    streams == Quiet ? QByteArray("quiet") : QByteArray("inherited"), child.text()});
    }
    WorkerSteps &exit(int code) { return add({"exit", QByteArray::number(code)}); }
    // Ends as a process killed by a signal (POSIX) or an exception (Windows).
    WorkerSteps &crash() { return add({"crash"}); }

    WorkerSteps &then(const WorkerSteps &more)
    {
        steps += more.steps;
        return *this;
    }

    // One step a line, each word percent-encoded.
    QByteArray text() const { return steps; }

private:
    static QByteArray name(Channel channel) { return channel == Out ? "out" : "err"; }

    WorkerSteps &add(const QList<QByteArray> &words)
    {
        QList<QByteArray> encoded;
        for (const QByteArray &word : words)
            encoded.append(word.toPercentEncoding());
        steps += encoded.join(' ') + '\n';
        return *this;
    }

    QByteArray steps;
};

Q_DECLARE_METATYPE(WorkerSteps)

#endif // WORKERSTEPS_H
