// A stand-in for a worker script, for the window's tests on every platform:
// it performs the steps it is given (write files, sleep, print, leave a child
// behind, exit) so that a test describes a worker once, not in POSIX shell
// and again in batch. The steps come from the script that starts it (after a
// line "::steps") or, for a child, from the command line; workersteps.h
// writes them. Each step is a line of words, each word percent-encoded.
#include "fakeworker.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QList>
#include <QSaveFile>
#include <QStringList>
#include <QThread>

#include <cstdio>
#include <cstdlib>

namespace {

using Words = QList<QByteArray>;

[[noreturn]] void fail(const QByteArray &message)
{
    std::fprintf(stderr, "fakeworker: %s\n", message.constData());
    std::exit(125);
}

qint64 number(const QByteArray &word)
{
    bool ok = false;
    const qint64 value = word.toLongLong(&ok);
    if (!ok || value < 0)
        fail("expected a number, found \"" + word + "\"");
    return value;
}

QString fileName(const QByteArray &word)
{
    return QString::fromUtf8(word);
}

void writeFile(const QByteArray &name, const QByteArray &bytes, QIODevice::OpenMode mode)
{
    QFile file(fileName(name));
    if (!file.open(QIODevice::WriteOnly | mode) || file.write(bytes) != bytes.size())
        fail("cannot write " + name + ": " + file.errorString().toUtf8());
}

void replaceFile(const QByteArray &name, const QByteArray &bytes)
{
    QSaveFile file(fileName(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        fail("cannot replace " + name + ": " + file.errorString().toUtf8());
}

QByteArray readFile(const QByteArray &name)
{
    QFile file(fileName(name));
    if (!file.open(QIODevice::ReadOnly))
        fail("cannot read " + name + ": " + file.errorString().toUtf8());
    return file.readAll();
}

QByteArray listing(const QByteArray &dir)
{
    QByteArray names;
    for (const QString &name : QDir(fileName(dir)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name))
        names += name.toUtf8() + '\n';
    return names;
}

FILE *channel(const QByteArray &word)
{
    if (word == "out")
        return stdout;
    if (word == "err")
        return stderr;
    fail("expected out or err, found \"" + word + "\"");
}

void print(FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

// Writes `bytes` `count` times, a large block at a time.
void repeat(FILE *stream, qint64 count, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    const qint64 perBlock = qMax<qint64>(1, 65536 / bytes.size());
    const QByteArray block = bytes.repeated(static_cast<int>(perBlock));
    for (; count >= perBlock; count -= perBlock)
        std::fwrite(block.constData(), 1, static_cast<size_t>(block.size()), stream);
    print(stream, bytes.repeated(static_cast<int>(count)));
}

void numberedLines(FILE *stream, qint64 count, const QByteArray &prefix)
{
    for (qint64 i = 0; i < count; ++i) {
        const QByteArray line = prefix + ' ' + QByteArray::number(i) + '\n';
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stream);
    }
    std::fflush(stream);
}

// A child of this process that performs `steps`, its id written to `pidFile`
// unless that is "-".
void spawn(const QByteArray &pidFile, const QByteArray &quiet, const QByteArray &steps)
{
    const qint64 pid = FakeWorker::startChild(QCoreApplication::applicationFilePath(),
                                              {QStringLiteral("-e"), QString::fromLatin1(steps.toPercentEncoding())},
                                              quiet == "quiet");
    if (pid <= 0)
        fail("cannot start a child");
    if (pidFile != "-")
        replaceFile(pidFile, QByteArray::number(pid) + '\n');
}

void expectWords(const Words &step, int count)
{
    if (step.size() != count)
        fail("step \"" + step.value(0) + "\" takes " + QByteArray::number(count - 1) + " words, found "
             + QByteArray::number(step.size() - 1));
}

void perform(const Words &step)
{
    const QByteArray &verb = step.first();
    static const QList<QByteArray> twoWords{"write", "append", "replace", "copy", "note", "cat", "ls", "mv"};
    const int words = twoWords.contains(verb) ? 3
        : verb == "repeat" || verb == "lines" || verb == "spawn"                               ? 4
        : verb == "crash"                                                                       ? 1
                                                                                                : 2;
    expectWords(step, words);
    if (verb == "write")
        writeFile(step[1], step[2], QIODevice::Truncate);
    else if (verb == "append")
        writeFile(step[1], step[2], QIODevice::Append);
    else if (verb == "replace")
        replaceFile(step[1], step[2]);
    else if (verb == "copy")
        writeFile(step[2], readFile(step[1]), QIODevice::Truncate);
    else if (verb == "note")
        QFile::exists(fileName(step[1])) ? writeFile(step[2], step[1] + '\n', QIODevice::Append) : void();
    else if (verb == "cat")
        writeFile(step[2], readFile(step[1]), QIODevice::Append);
    else if (verb == "ls")
        writeFile(step[2], listing(step[1]), QIODevice::Append);
    else if (verb == "mv")
        QFile::rename(fileName(step[1]), fileName(step[2])) || (fail("cannot rename " + step[1]), false);
    else if (verb == "mkdir")
        QDir().mkdir(fileName(step[1])) || (fail("cannot make directory " + step[1]), false);
    else if (verb == "sleep")
        QThread::msleep(static_cast<unsigned long>(number(step[1])));
    else if (verb == "print")
        print(stdout, step[1]);
    else if (verb == "complain")
        print(stderr, step[1]);
    else if (verb == "repeat")
        repeat(channel(step[1]), number(step[2]), step[3]);
    else if (verb == "lines")
        numberedLines(channel(step[1]), number(step[2]), step[3]);
    else if (verb == "spawn")
        spawn(step[1], step[2], step[3]);
    else if (verb == "exit")
        std::exit(static_cast<int>(number(step[1])));
    else if (verb == "crash")
        FakeWorker::crash();
    else
        fail("unknown step \"" + verb + "\"");
}

void performAll(const QByteArray &text)
{
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        Words step;
        // An empty word is kept: "write NAME " writes an empty file.
        for (const QByteArray &word : line.split(' '))
            step.append(QByteArray::fromPercentEncoding(word));
        perform(step);
    }
}

// The steps written after the "::steps" line of the script that started us.
QByteArray stepsOfScript(const QString &path)
{
    QFile script(path);
    if (!script.open(QIODevice::ReadOnly))
        fail("cannot read " + path.toUtf8() + ": " + script.errorString().toUtf8());
    const QByteArray text = script.readAll();
    const int marker = text.indexOf("::steps");
    if (marker < 0)
        fail(path.toUtf8() + " has no line ::steps");
    return text.mid(marker + 7);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    FakeWorker::useBinaryStandardStreams();
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("-e"))
        performAll(QByteArray::fromPercentEncoding(args[2].toLatin1()));
    else if (args.size() == 2)
        performAll(stepsOfScript(args[1]));
    else
        fail("usage: fakeworker SCRIPT | fakeworker -e STEPS");
    return 0;
}
