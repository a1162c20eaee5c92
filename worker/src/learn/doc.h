#pragma once
#include <cstdint>

namespace sentiment {

// A review as the feature ids it holds, and its label.
struct Doc {
    const std::uint32_t* ids;
    std::uint32_t size;
    std::uint8_t label;  // 1 = positive
};

}  // namespace sentiment
