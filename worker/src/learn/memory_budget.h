#pragma once
#include <cstdint>

namespace sentiment {

// Physical memory of this machine in bytes; 0 if it cannot be told.
std::uint64_t physical_memory_bytes();

// What training may use by default: a quarter of physical memory, so three
// other programs still fit beside it, and never more than 2 GiB, which
// holds far more reviews than the in-memory solver needs for its best
// accuracy. 512 MiB when the machine does not say.
std::uint64_t default_memory_budget(std::uint64_t physical_bytes);

}  // namespace sentiment
