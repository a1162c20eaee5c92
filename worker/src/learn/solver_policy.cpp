#include "learn/solver_policy.h"

#include <algorithm>

#include "features/label_scheme.h"
#include "text/errors.h"

namespace sentiment {

const char* solver_path_name(SolverPath path) {
    switch (path) {
        case SolverPath::InMemoryNbsvm: return "in memory (NBSVM)";
        case SolverPath::Streamed: return "streamed (NBSVM by blocks read from the file)";
    }
    return "?";
}

std::uint64_t in_memory_need(std::uint64_t ids, std::size_t reviews, std::uint8_t bits, unsigned jobs) {
    const std::uint64_t buckets = std::uint64_t{1} << bits, n = reviews;
    const std::uint64_t features = std::min(buckets, ids);
    const std::uint64_t cache = 4 * ids + 8 * n;
    // Per fit: NB counts, ratio, weights in double and float; per review
    // its dual variable, diagonal, order and fold mark.
    const std::uint64_t fit = 24 * features + 21 * n;
    // Scores per review for the interpolation, the bucket map, the model.
    const std::uint64_t rest = 24 * n + 8 * buckets;
    return cache + std::uint64_t(std::max(1u, jobs)) * fit + rest;
}

std::uint64_t streamed_floor(std::size_t reviews, std::uint8_t bits) {
    const std::uint64_t n = reviews;
    return 20 * (std::uint64_t{1} << bits) + kStreamedLabelBytes * n +
           kCalibrationBytes * std::min<std::uint64_t>(n, kCalibrationLeast) + (std::uint64_t{8} << 20);
}

bool streamed_alpha_in_memory(std::uint64_t budget, std::size_t reviews, std::uint8_t bits) {
    return streamed_floor(reviews, bits) + kStreamedAlphaBytes * std::uint64_t(reviews) <= budget;
}

std::size_t calibration_sample_most(std::uint64_t budget, std::size_t reviews, std::uint8_t bits) {
    // The dual variables are gone by then: what is left above the floor.
    const std::uint64_t floor = streamed_floor(reviews, bits);
    const std::uint64_t room = budget > floor ? (budget - floor) / kCalibrationBytes : 0;
    return std::size_t(std::min<std::uint64_t>(kCalibrationLeast + room, kCalibrationMost));
}

std::uint64_t cache_limit_ids(std::uint64_t budget, std::size_t reviews, std::uint8_t bits, unsigned jobs) {
    if (in_memory_need(0, reviews, bits, jobs) > budget) return 0;
    std::uint64_t lo = 0, hi = budget / 4 + 1;  // need(lo) fits, need(hi) does not
    while (hi - lo > 1) {
        const std::uint64_t mid = lo + (hi - lo) / 2;
        (in_memory_need(mid, reviews, bits, jobs) <= budget ? lo : hi) = mid;
    }
    return lo;
}

namespace {

std::uint64_t whole_mb(std::uint64_t bytes) { return (bytes + (std::uint64_t{1} << 20) - 1) >> 20; }

// A firm budget below the least either path needs: what it needs and what
// to change.
[[noreturn]] void refuse_budget(const SolverRequest& r, std::uint64_t least, bool streamed) {
    const std::string asked = std::to_string(r.budget >> 20), need = std::to_string(whole_mb(least));
    const std::string bits = std::to_string(r.features.bits), n = thousands(r.reviews);
    throw Error("--memory " + asked + " is less than training these " + n + " reviews needs: at least " + need +
                    " MB " + (streamed ? "streamed, with a label per review and 2^" + bits + " buckets" : "in memory") +
                    "; give --memory " + need + " or more" + (streamed ? ", or fewer --bits" : ""),
                "--memory " + asked + " 少于训练这 " + n + " 条评论所需：至少 " + need + " MB" +
                    (streamed ? "（分块流式训练，每条评论一个标签，2^" + bits + " 个桶）" : "（在内存中训练）") +
                    "；请给 --memory " + need + " 或更多" + (streamed ? "，或减少 --bits" : ""));
}

std::uint64_t scale_to_all(std::uint64_t sampled, const ReviewSample& s, std::size_t reviews) {
    if (s.reviews == 0) return 0;
    // A tenth more than the sample shows: later reviews may be longer.
    return std::uint64_t(double(sampled) / double(s.reviews) * double(reviews) * 1.1);
}
}  // namespace

SolverChoice choose_solver(const ReviewSample& s, const SolverRequest& r) {
    SolverChoice c;
    c.features = r.features;
    const bool letters = r.features.char_max > 0;
    const std::uint64_t mean_bytes = s.reviews ? s.bytes / s.reviews : 0;
    auto need = [&](std::uint64_t sampled_ids) {
        return in_memory_need(scale_to_all(sampled_ids, s, r.reviews), r.reviews, r.features.bits, r.fits_at_once);
    };
    auto drop_letters = [&] {
        c.features.char_min = c.features.char_max = 0;
        c.need = need(s.ids_without_letters);
    };
    c.need = need(s.ids);
    if (letters && mean_bytes > kLongReviewBytes) {
        drop_letters();
        c.reason = "long reviews (" + std::to_string(mean_bytes) + " bytes on average): no letter n-grams";
    } else if (letters && c.need > r.budget && need(s.ids_without_letters) <= r.budget) {
        drop_letters();
        c.reason = "no letter n-grams, to fit the memory budget";
    }
    const std::uint64_t floor = streamed_floor(r.reviews, r.features.bits);
    c.in_memory_bytes = r.budget;
    if (c.need <= r.budget && !r.stream) {
        c.path = SolverPath::InMemoryNbsvm;
        return c;
    }
    if (!c.reason.empty()) c.reason += "; ";
    c.reason += "needs about " + std::to_string(c.need >> 20) + " MB in memory, over the budget";
    if (r.budget < floor)
        c.reason += "; streaming needs at least " + std::to_string((floor >> 20) + 1) + " MB with 2^" +
                    std::to_string(r.features.bits) + " buckets (fewer --bits need less)";
    if (r.firm && r.budget < floor && (r.stream || c.need > r.budget))
        refuse_budget(r, r.stream ? floor : std::min(c.need, floor), r.stream || c.need > floor);
    if (r.budget < floor && c.need <= floor && !r.stream) {
        c.path = SolverPath::InMemoryNbsvm;
        c.in_memory_bytes = floor;
        c.reason += "; in memory, which needs less";
        return c;
    }
    c.path = SolverPath::Streamed;
    c.features.char_min = c.features.char_max = 0;
    return c;
}

}  // namespace sentiment
