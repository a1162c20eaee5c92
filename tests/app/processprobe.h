#ifndef PROCESSPROBE_H
#define PROCESSPROBE_H

#include <QtGlobal>

// Looks at a process by its id, for assertions about what a run left behind,
// and at the test's own memory.
// The Windows and POSIX ways are in processprobe_win32.cpp and
// processprobe_posix.cpp.
namespace ProcessProbe {

// True while a process of this id exists, a zombie included: false once it
// has exited and been reaped.
bool exists(qint64 pid);

// True while the process runs: a zombie, which a container without an init
// may never reap, counts as ended.
bool isRunning(qint64 pid);

// The memory this test process holds in RAM, in bytes; -1 where it cannot be
// told.
qint64 ownResidentBytes();

} // namespace ProcessProbe

#endif // PROCESSPROBE_H
