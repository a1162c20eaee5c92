#ifndef FAKEWORKER_H
#define FAKEWORKER_H

#include <QString>
#include <QStringList>

// What the fake worker does differently on Windows and POSIX
// (fakeworker_win32.cpp, fakeworker_posix.cpp).
namespace FakeWorker {

// Standard output and error pass bytes through unchanged.
void useBinaryStandardStreams();

// Starts a child that inherits what a worker's child inherits (the run's
// claim among it) and stays in the worker's process tree or group. `quiet`
// sends its standard streams to the null device. Returns its id, or -1.
qint64 startChild(const QString &program, const QStringList &arguments, bool quiet);

// Ends this process as a crash does.
[[noreturn]] void crash();

} // namespace FakeWorker

#endif // FAKEWORKER_H
