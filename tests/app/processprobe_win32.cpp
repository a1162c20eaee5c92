#include "processprobe.h"

#include <windows.h>
#include <psapi.h>

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

qint64 ownResidentBytes()
{
    PROCESS_MEMORY_COUNTERS counters{};
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return -1;
    return static_cast<qint64>(counters.WorkingSetSize);
}

} // namespace ProcessProbe
