#include "features/table.h"

#include <new>

namespace sentiment {

// Without a way to ask for large pages, plain memory.
void* allocate_table(std::size_t bytes) { return ::operator new(bytes); }

void free_table(void* p, std::size_t) noexcept { ::operator delete(p); }

}  // namespace sentiment
