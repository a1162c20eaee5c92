#include "learn/memory_budget.h"

#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

namespace sentiment {

std::uint64_t physical_memory_bytes() {
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return 0;
    return status.ullTotalPhys;
}

std::uint64_t peak_resident_bytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.PeakWorkingSetSize;
}

// A job object can cap a process's commit, but nothing here reads it yet:
// under such a cap an allocation that fails sends training to the file.
std::uint64_t address_space_limit() { return 0; }

}  // namespace sentiment
