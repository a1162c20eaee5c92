#include "processprobe.h"

#include <windows.h>

namespace ProcessProbe {

// Windows keeps no zombies: a process that has exited is gone once its last
// handle closes, and until then it no longer runs.
bool isRunning(qint64 pid)
{
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!process)
        return false;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

bool exists(qint64 pid)
{
    return isRunning(pid);
}

} // namespace ProcessProbe
