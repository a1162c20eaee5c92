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
