#include "learn/review_split.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace sentiment {

double review_draw(const std::uint32_t* ids, std::size_t count, std::uint64_t seed) {
    const std::uint64_t h = XXH3_64bits_withSeed(ids, count * sizeof(std::uint32_t), seed);
    return double(h >> 11) * 0x1.0p-53;
}

}  // namespace sentiment
