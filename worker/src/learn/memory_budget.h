#pragma once
#include <cstdint>
#include <string_view>

namespace sentiment {

// Physical memory of this machine in bytes; 0 if it cannot be told.
std::uint64_t physical_memory_bytes();

// The most this process has held in physical memory so far, in bytes (peak
// resident set, peak working set); 0 if it cannot be told.
std::uint64_t peak_resident_bytes();

// The least of the limits set on this process's address space and data
// (ulimit -v, ulimit -d) in bytes; 0 when none is set or it cannot be told.
std::uint64_t address_space_limit();

// What training may use by default: a quarter of physical memory, so three
// other programs still fit beside it, and never more than 2 GiB, which
// holds far more reviews than the in-memory solver needs for its best
// accuracy. 512 MiB when the machine does not say. Under a limit on the
// address space, at most half of it: the program, its thread stacks and
// the allocator's arenas take address space the budget does not count.
std::uint64_t default_memory_budget(std::uint64_t physical_bytes, std::uint64_t address_limit = 0);

// Most megabytes --memory takes: 4 TiB.
inline constexpr std::uint64_t kMaxMemoryMb = std::uint64_t{1} << 22;

// The --memory value: a whole number of megabytes from 0 (this machine's
// share) to kMaxMemoryMb. Throws Error saying what was found instead.
std::uint64_t parse_memory_mb(std::string_view text);

}  // namespace sentiment
