#include <gtest/gtest.h>

#include "learn/memory_budget.h"

using namespace sentiment;

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

TEST(MemoryBudget, QuarterOfThePhysicalMemoryCappedAt2GiB) {
    struct Case {
        std::uint64_t physical, budget;
    } cases[] = {
        {0, 512 * kMiB},  // unknown machine
        {1024 * kMiB, 256 * kMiB},
        {4096 * kMiB, 1024 * kMiB},
        {8192 * kMiB, 2048 * kMiB},
        {std::uint64_t{1} << 40, 2048 * kMiB},
    };
    for (const Case& c : cases) EXPECT_EQ(default_memory_budget(c.physical), c.budget) << c.physical;
    EXPECT_GT(physical_memory_bytes(), 64 * kMiB);
}

}  // namespace
