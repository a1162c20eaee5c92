#include "features/table.h"

#include <cstdlib>
#include <new>
#ifdef __linux__
#include <sys/mman.h>
#endif

namespace sentiment {

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}

void* allocate_table(std::size_t bytes) {
#ifdef __linux__
    if (bytes >= kHugePage) {
        const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void* p = std::aligned_alloc(kHugePage, rounded);
        if (!p) throw std::bad_alloc();
        madvise(p, rounded, MADV_HUGEPAGE);  // a hint; refusal is harmless
        return p;
    }
#endif
    return ::operator new(bytes);
}

void free_table(void* p, std::size_t bytes) noexcept {
#ifdef __linux__
    if (bytes >= kHugePage) {
        std::free(p);
        return;
    }
#endif
    ::operator delete(p);
}

}  // namespace sentiment
