#pragma once
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "features/hashed_features.h"
#include "features/model_info.h"
#include "features/table.h"

namespace sentiment {

inline double sigmoid(double s) { return 1.0 / (1.0 + std::exp(-s)); }

// A linear classifier over hashed features: the probability that a text is
// positive is sigmoid(bias + sum of the weights of its buckets).
struct Model {
    FeatureOptions features;
    float bias = 0.0f;
    Table<float> weights;  // one per bucket, 2^bits of them
    // How it was trained; nothing for models of format 1, which kept only
    // their weights. Judging never looks at it.
    std::optional<ModelInfo> info;

    double score(const std::vector<std::uint32_t>& ids) const;
    double probability(const std::vector<std::uint32_t>& ids) const;
};

// On disk: magic "SENTIMDL", format version, feature settings, bias, the
// non-zero weights as (bucket, value) pairs in rising bucket order, and an
// XXH64 checksum of everything before it. Little-endian throughout. That is
// all of format 1. Format 2 follows it with the training record, a block of
// its own: its length, ModelInfo's text and an XXH64 checksum of both. The
// weights come first and alone, so a record that differs (the time!) never
// touches what judging reads.
inline constexpr char kModelMagic[9] = "SENTIMDL";
inline constexpr std::uint32_t kModelWeightsOnly = 1;
inline constexpr std::uint32_t kModelWithInfo = 2;
// A training record is a few hundred bytes; more is no model of ours.
inline constexpr std::uint32_t kMaxInfoBytes = 1 << 16;

// Format 2 when the model has its info, format 1 otherwise.
std::string serialize_model(const Model& model);
// Rejects foreign, damaged and truncated data with an Error that says what
// was expected and what was found; allocates only after the data checks out.
Model parse_model(std::string_view bytes, std::string_view name);
Model load_model(const std::string& path, const std::string& display_name);
// Atomic: a reader or a crash sees the old model or the new, never a mix.
void save_model(const Model& model, const std::string& path, const std::string& display_name);

}  // namespace sentiment
