#pragma once
#include <cstddef>
#include <vector>

namespace sentiment {

// Memory for big tables read at random: on Linux (table_linux.cpp) it asks
// for 2 MB pages, so that filling a weight table takes a handful of page
// faults instead of thousands (most of the time of judging a small file)
// and lookups miss the TLB less; elsewhere (table_portable.cpp) it is plain
// memory.
void* allocate_table(std::size_t bytes);
void free_table(void* p, std::size_t bytes) noexcept;

template <class T>
struct TableAllocator {
    using value_type = T;
    TableAllocator() = default;
    template <class U>
    TableAllocator(const TableAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return static_cast<T*>(allocate_table(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { free_table(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const TableAllocator<U>&) const noexcept { return true; }
    template <class U>
    bool operator!=(const TableAllocator<U>&) const noexcept { return false; }
};

template <class T>
using Table = std::vector<T, TableAllocator<T>>;

}  // namespace sentiment
