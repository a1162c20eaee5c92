#pragma once
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace sentiment {

inline std::uint64_t splitmix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// Fisher-Yates with our own generator: std::shuffle differs between
// standard libraries and the model must not.
template <class T>
void seeded_shuffle(std::vector<T>& v, std::uint64_t& state) {
    for (std::size_t i = v.size(); i > 1; --i) {
        state = splitmix64(state);
        std::size_t j = static_cast<std::size_t>(state % i);
        std::swap(v[i - 1], v[j]);
    }
}

}  // namespace sentiment
