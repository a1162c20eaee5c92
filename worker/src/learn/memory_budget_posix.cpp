#include "learn/memory_budget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

namespace sentiment {

std::uint64_t physical_memory_bytes() {
    const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || page <= 0) return 0;
    return std::uint64_t(pages) * std::uint64_t(page);
}

std::uint64_t peak_resident_bytes() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0 || usage.ru_maxrss <= 0) return 0;
    return std::uint64_t(usage.ru_maxrss) * 1024;  // kilobytes on Linux and the BSDs
}

std::uint64_t address_space_limit() {
    std::uint64_t least = 0;
    for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        rlimit r{};
        if (getrlimit(resource, &r) != 0 || r.rlim_cur == RLIM_INFINITY) continue;
        const auto bytes = static_cast<std::uint64_t>(r.rlim_cur);
        least = least == 0 ? bytes : std::min(least, bytes);
    }
    return least;
}

}  // namespace sentiment
