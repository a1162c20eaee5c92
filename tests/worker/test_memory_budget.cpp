#include <gtest/gtest.h>

#include "learn/memory_budget.h"
#include "text/errors.h"

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

// A limit on the address space holds the default to half of it; a limit
// above twice the share changes nothing.
TEST(MemoryBudget, HalfOfAnAddressSpaceLimit) {
    struct Case {
        std::uint64_t physical, limit, budget;
    } cases[] = {
        {8192 * kMiB, 300 * kMiB, 150 * kMiB},
        {8192 * kMiB, 8192 * kMiB, 2048 * kMiB},
        {1024 * kMiB, 600 * kMiB, 256 * kMiB},
        {0, 200 * kMiB, 100 * kMiB},
        {8192 * kMiB, 1, 1},  // never 0, which would mean "the machine's"
    };
    for (const Case& c : cases) EXPECT_EQ(default_memory_budget(c.physical, c.limit), c.budget) << c.limit;
}

// What --memory takes: whole megabytes up to 4 TiB, and nothing else.
TEST(MemoryBudget, MegabytesAreParsedWithChecks) {
    EXPECT_EQ(parse_memory_mb("0"), 0u);
    EXPECT_EQ(parse_memory_mb("128"), 128u);
    EXPECT_EQ(parse_memory_mb("4194304"), kMaxMemoryMb);
    for (const char* bad : {"", "abc", "12abc", "-1", "+5", " 5", "1.5", "0x10", "4194305", "18446744073709551616"})
        EXPECT_THROW(parse_memory_mb(bad), Error) << bad;
}

}  // namespace
