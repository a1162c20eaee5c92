#include "learn/memory_budget.h"

#include <algorithm>

namespace sentiment {

std::uint64_t default_memory_budget(std::uint64_t physical) {
    constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
    if (physical == 0) return 512 * kMiB;
    return std::min<std::uint64_t>(physical / 4, 2048 * kMiB);
}

}  // namespace sentiment
