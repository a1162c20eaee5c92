#include "features/table.h"

#include <cstdlib>
#include <new>

#include <sys/mman.h>

namespace sentiment {

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}

void* allocate_table(std::size_t bytes) {
    if (bytes < kHugePage) return ::operator new(bytes);
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* p = std::aligned_alloc(kHugePage, rounded);
    if (!p) throw std::bad_alloc();
    madvise(p, rounded, MADV_HUGEPAGE);  // a hint; refusal is harmless
    return p;
}

void free_table(void* p, std::size_t bytes) noexcept {
    if (bytes < kHugePage)
        ::operator delete(p);
    else
        std::free(p);
}

}  // namespace sentiment
