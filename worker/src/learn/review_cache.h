#pragma once
#include <cstdint>
#include <vector>

#include "learn/doc.h"

namespace sentiment {

// Reviews kept in memory as feature ids, one run per review.
struct ReviewCache {
    std::vector<std::uint32_t> ids;
    std::vector<std::uint64_t> offsets{0};  // review i: ids[offsets[i], offsets[i + 1])
    std::size_t size() const { return offsets.size() - 1; }
    Doc doc(std::size_t i, const std::vector<std::uint8_t>& labels) const {
        return Doc{ids.data() + offsets[i], static_cast<std::uint32_t>(offsets[i + 1] - offsets[i]), labels[i]};
    }
};

}  // namespace sentiment
