#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "features/hashed_features.h"

namespace sentiment {

// Memory for big tables read at random: on Linux it asks for 2 MB pages,
// so that filling a weight table takes a handful of page faults instead of
// thousands (most of the time of judging a small file) and lookups miss the
// TLB less.
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

// A linear classifier over hashed features: the probability that a text is
// positive is sigmoid(bias + sum of the weights of its buckets).
struct Model {
    FeatureOptions features;
    float bias = 0.0f;
    Table<float> weights;  // one per bucket, 2^bits of them

    double score(const std::vector<std::uint32_t>& ids) const;
    double probability(const std::vector<std::uint32_t>& ids) const;
};

// On disk: magic "SENTIMDL", format version, feature settings, bias, the
// non-zero weights as (bucket, value) pairs in rising bucket order, and an
// XXH64 checksum of everything before it. Little-endian throughout.
inline constexpr char kModelMagic[9] = "SENTIMDL";
inline constexpr std::uint32_t kModelVersion = 1;

std::string serialize_model(const Model& model);
// Rejects foreign, damaged and truncated data with an Error that says what
// was expected and what was found; allocates only after the data checks out.
Model parse_model(std::string_view bytes, std::string_view name);
Model load_model(const std::string& path, const std::string& display_name);
// Atomic: a reader or a crash sees the old model or the new, never a mix.
void save_model(const Model& model, const std::string& path, const std::string& display_name);

}  // namespace sentiment
