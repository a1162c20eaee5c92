#include "learn/memory_budget.h"

#include <windows.h>

namespace sentiment {

std::uint64_t physical_memory_bytes() {
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return 0;
    return status.ullTotalPhys;
}

}  // namespace sentiment

namespace sentiment {

// A job object can cap a process's commit, but nothing here reads it yet:
// under such a cap an allocation that fails sends training to the file.
std::uint64_t address_space_limit() { return 0; }

}  // namespace sentiment
