// The model loader: foreign, damaged and truncated files must be refused
// with an Error, and never make it allocate more than the file justifies
// (run with -malloc_limit_mb so that an absurd allocation is a finding).
//
// Each input is tried twice: as it is, and with the fields that a random
// input almost never gets right (magic, version, weight count, checksum)
// repaired, so that the checks behind the checksum get fuzzed too.
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "features/hashed_features.h"
#include "features/model.h"
#include "fuzz_common.h"

using namespace sentiment;

namespace {

constexpr std::size_t kHeader = 24;  // magic, version, 4 feature bytes, bias, count
constexpr std::size_t kChecksum = 8;
constexpr std::size_t kEntry = 8;
constexpr std::string_view kName = "sentiment.model";

void put_u32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) s[at + k] = static_cast<char>(v >> (8 * k) & 0xFF);
}
void put_u64(std::string& s, std::size_t at, std::uint64_t v) {
    for (int k = 0; k < 8; ++k) s[at + k] = static_cast<char>(v >> (8 * k) & 0xFF);
}

std::optional<Model> try_parse(std::string_view bytes) {
    try {
        return parse_model(bytes, kName);
    } catch (const Error& e) {
        fuzz::check_error(e);
        return std::nullopt;
    }
}

bool same(const Model& a, const Model& b) {
    return a.features.bits == b.features.bits && a.features.ngrams == b.features.ngrams &&
           a.features.char_min == b.features.char_min && a.features.char_max == b.features.char_max &&
           a.bias == b.bias && a.weights == b.weights;
}

const char* const kTexts[] = {
    "This film was not good at all, I never laughed.",
    "质量很好，物流也快，下次还会再来！",
    "Great value 👍 but the strap broke :(",
};

// What a loaded model must satisfy before anyone classifies with it.
void check_model(const Model& m, std::string_view bytes) {
    const auto& f = m.features;
    FUZZ_CHECK(f.bits >= kMinBits && f.bits <= kMaxBits, "bits out of range");
    FUZZ_CHECK(f.ngrams >= 1 && f.ngrams <= kMaxNgrams, "ngrams out of range");
    FUZZ_CHECK(f.char_max <= kMaxCharNgram && f.char_min <= f.char_max && (f.char_max == 0) == (f.char_min == 0),
               "character n-gram range invalid");
    FUZZ_CHECK(m.weights.size() == (std::size_t{1} << f.bits), "weight table size does not match bits");
    FUZZ_CHECK(std::isfinite(m.bias), "bias not finite");
    // Walking a 2^24 table several times per input would slow the search
    // tenfold; small tables exercise the same code.
    const bool small = f.bits <= 16;
    if (small)
        for (float w : m.weights) FUZZ_CHECK(std::isfinite(w), "weight not finite");

    // It classifies: every feature falls inside the table, and the
    // probability is a probability.
    FeatureExtractor fx(f);
    std::vector<std::uint32_t> ids;
    for (const char* t : kTexts) {
        fx.extract(t, ids);
        for (std::uint32_t id : ids) FUZZ_CHECK(id < m.weights.size(), "feature outside the weight table");
        double p = m.probability(ids);
        FUZZ_CHECK(p >= 0.0 && p <= 1.0, "probability outside [0, 1]");
    }

    // Damage to a good file is caught: truncation, a flipped bit, a byte more.
    for (std::size_t len : {bytes.size() - 1, bytes.size() - kChecksum, bytes.size() / 2, kHeader, std::size_t{12},
                            std::size_t{8}, std::size_t{3}, std::size_t{0}}) {
        if (len >= bytes.size()) continue;
        FUZZ_CHECK(!try_parse(bytes.substr(0, len)), "a truncated model loads (" + std::to_string(len) + " bytes)");
    }
    std::string flipped(bytes);
    const std::size_t pos = (bytes.size() * 7 / 13) % bytes.size();
    flipped[pos] = static_cast<char>(flipped[pos] ^ (1 << (bytes.size() % 8)));
    FUZZ_CHECK(!try_parse(flipped), "a model with a flipped bit loads (byte " + std::to_string(pos) + ")");
    std::string longer(bytes);
    longer += '\0';
    FUZZ_CHECK(!try_parse(longer), "a model with a byte appended loads");

    // Saving it again gives a file that loads to the same model, and that is
    // byte for byte the input unless the input stored zero weights.
    if (!small) return;
    std::string again = serialize_model(m);
    auto back = try_parse(again);
    FUZZ_CHECK(back.has_value(), "a saved model does not load");
    FUZZ_CHECK(same(*back, m), "a saved model loads differently");
    bool stored_zero = false;
    for (std::size_t at = kHeader + 4; at + 4 <= bytes.size() - kChecksum; at += kEntry) {
        float w;
        std::memcpy(&w, bytes.data() + at, 4);  // little-endian host
        stored_zero |= w == 0.0f;
    }
    if (!stored_zero) FUZZ_CHECK(again == bytes, "saving a loaded model changes the file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::as_view(data, size);

    if (auto m = try_parse(bytes)) check_model(*m, bytes);

    // Repaired header and checksum: only the feature settings, bias and
    // weight entries remain as the fuzzer made them.
    if (size >= kHeader + kChecksum) {
        const std::size_t count = (size - kHeader - kChecksum) / kEntry;
        std::string fixed(bytes.substr(0, kHeader + count * kEntry));
        std::memcpy(fixed.data(), kModelMagic, 8);
        put_u32(fixed, 8, kModelWeightsOnly);  // the layout without a training record
        put_u32(fixed, 20, static_cast<std::uint32_t>(count));
        fixed.resize(fixed.size() + kChecksum);
        put_u64(fixed, fixed.size() - kChecksum, XXH64(fixed.data(), fixed.size() - kChecksum, 0));
        if (auto m = try_parse(fixed)) check_model(*m, fixed);
    }
    return 0;
}
