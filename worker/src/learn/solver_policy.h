#pragma once
#include <cstdint>
#include <string>

#include "features/hashed_features.h"

namespace sentiment {

enum class SolverPath {
    InMemoryNbsvm,    // the most accurate; needs every review's features in memory
    Streamed,         // re-reads the file each pass; memory does not grow with it
};

const char* solver_path_name(SolverPath path);

// What the first reviews of a set cost, measured before choosing.
struct ReviewSample {
    std::size_t reviews = 0;               // sampled
    std::uint64_t bytes = 0;               // their text
    std::uint64_t ids = 0;                 // feature ids with the asked-for features
    std::uint64_t ids_without_letters = 0;  // the same without letter n-grams
};

struct SolverRequest {
    std::size_t reviews = 0;  // in the whole set
    FeatureOptions features;
    unsigned fits_at_once = 1;  // whose tables the budget holds side by side
    std::uint64_t budget = 0;  // bytes
    bool stream = false;       // streamed whatever the budget
    // The budget was asked for (--memory): one below what either path needs
    // is refused before any work rather than exceeded.
    bool firm = false;
};

struct SolverChoice {
    SolverPath path = SolverPath::Streamed;
    FeatureOptions features;  // possibly without letter n-grams
    std::uint64_t need = 0;   // estimated bytes for the in-memory path with these features
    // Bytes the in-memory path may hold: the budget, or what streaming would
    // need when the budget is below both and memory is the smaller.
    std::uint64_t in_memory_bytes = 0;
    std::string reason;       // one line for the user
};

// Mean review length (bytes) above which letter n-grams are dropped: on
// long reviews the words already say enough, and the letters double the
// memory and time while costing accuracy (IMDB cut to 250 characters:
// 77.9 % with them, 78.1 % without; one-sentence movie reviews of about
// 115: 82.3 % with, 80.7 % without).
constexpr std::uint64_t kLongReviewBytes = 200;

// Bytes the in-memory NBSVM needs for `ids` cached feature ids over
// `reviews` reviews: the cache, and the tables of `jobs` fits at once.
std::uint64_t in_memory_need(std::uint64_t ids, std::size_t reviews, std::uint8_t bits, unsigned jobs);

// What the streamed solver holds per review and per held-out review it
// scores for the calibration (its score parts, label and mixed score).
inline constexpr std::uint64_t kStreamedLabelBytes = 1;
inline constexpr std::uint64_t kStreamedAlphaBytes = 4;
inline constexpr std::uint64_t kCalibrationBytes = 41;
// Held-out reviews the calibration scores at least (all when fewer) and at
// most: a million measure the accuracy to a tenth of a percent.
inline constexpr std::size_t kCalibrationLeast = 20000;
inline constexpr std::size_t kCalibrationMost = 1000000;

// Least the streamed solver needs: its weight table with the NB ratios it
// is built from, a label per review, the least calibration sample and room
// for the program and blocks of one review (IMDB with 2^21 buckets: 50 MB).
// The dual variables go to a temporary file when they do not fit above it.
std::uint64_t streamed_floor(std::size_t reviews, std::uint8_t bits);
// Whether the dual variables (4 bytes a review) fit the budget beside it.
bool streamed_alpha_in_memory(std::uint64_t budget, std::size_t reviews, std::uint8_t bits);
// Held-out reviews the calibration may score within the budget, from
// kCalibrationLeast to kCalibrationMost.
std::size_t calibration_sample_most(std::uint64_t budget, std::size_t reviews, std::uint8_t bits);

// Most feature ids the cache may hold within budget (0 if none).
std::uint64_t cache_limit_ids(std::uint64_t budget, std::size_t reviews, std::uint8_t bits, unsigned jobs);

// In memory whenever the reviews fit the budget, first shedding letter
// n-grams where they do not pay or where that makes them fit; streamed
// otherwise, unless the budget is below what streaming needs too, where
// the path that needs less is taken, or, for a firm budget, an Error names
// what it needs.
SolverChoice choose_solver(const ReviewSample& sample, const SolverRequest& request);

}  // namespace sentiment
