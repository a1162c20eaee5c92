#include "learn/memory_budget.h"

#include <unistd.h>

namespace sentiment {

std::uint64_t physical_memory_bytes() {
    const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || page <= 0) return 0;
    return std::uint64_t(pages) * std::uint64_t(page);
}

}  // namespace sentiment
