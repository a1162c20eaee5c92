#include "learn/memory_budget.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace sentiment {

std::uint64_t physical_memory_bytes() {
#ifdef _WIN32
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return 0;
    return status.ullTotalPhys;
#else
    const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || page <= 0) return 0;
    return std::uint64_t(pages) * std::uint64_t(page);
#endif
}

std::uint64_t default_memory_budget(std::uint64_t physical) {
    constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
    if (physical == 0) return 512 * kMiB;
    return std::min<std::uint64_t>(physical / 4, 2048 * kMiB);
}

}  // namespace sentiment
