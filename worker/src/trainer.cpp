// Plans how to learn from the reviews and hands them to that learner: NBSVM
// on reviews held in memory (in_memory_nbsvm), or NBSVM by blocks read from
// the file when they do not fit (streamed_nbsvm).
#include "trainer.h"

#include <algorithm>
#include <new>

#include "learn/block_pipeline.h"
#include "learn/in_memory_nbsvm.h"
#include "learn/review_cache.h"
#include "learn/streamed_nbsvm.h"
#include "learn/training_plan.h"
#include "text/errors.h"

namespace sentiment {

namespace {

constexpr std::size_t kSampleLines = 2000;

// Measures the first reviews with and without letter n-grams.
ReviewSample sample_reviews(TextSource& src, std::size_t n, const FeatureOptions& features) {
    ReviewSample s;
    FeatureExtractor with(features);
    FeatureOptions plain = features;
    plain.char_min = plain.char_max = 0;
    FeatureExtractor without(plain);
    std::vector<std::uint32_t> ids;
    src.rewind();
    std::string_view line;
    for (std::size_t i = 0; i < std::min(n, kSampleLines); ++i) {
        next_review(src, line, i);
        ++s.reviews;
        s.bytes += line.size();
        with.extract(line, ids);
        s.ids += ids.size();
        if (features.char_max > 0) without.extract(line, ids);
        s.ids_without_letters += ids.size();
    }
    return s;
}

// Feature ids the cache is first sized for: what the sample shows, scaled
// to every review with room to spare, within the limit. Sizing it for the
// whole budget would take that much address space even for a few reviews.
std::uint64_t expected_ids(const ReviewSample& s, std::size_t n, const FeatureOptions& f, std::uint64_t limit) {
    if (s.reviews == 0) return std::min<std::uint64_t>(limit, 1 << 16);
    const std::uint64_t sampled = f.char_max > 0 ? s.ids : s.ids_without_letters;
    return std::min<std::uint64_t>(limit, std::uint64_t(double(sampled) / double(s.reviews) * double(n) * 1.25) + 4096);
}

// Hashes every review into the cache; false (and an empty cache) once they
// will not fit what the plan's budget leaves for feature ids.
bool fill_cache(TextSource& src, const ReviewSample& sample, std::size_t n, const TrainingPlan& plan,
                ReviewCache& cache, ProgressSink& progress) {
    const std::uint64_t limit = cache_limit_ids(plan.in_memory_bytes, n, plan.features.bits, plan.fits_at_once);
    FeatureExtractor fx(plan.features);
    std::vector<std::uint32_t> ids;
    // Growing by half rather than doubling, and never past the limit: a
    // move holds two copies for a moment.
    cache.ids.reserve(expected_ids(sample, n, plan.features, limit));
    cache.offsets.reserve(n + 1);
    src.rewind();
    std::string_view line;
    for (std::size_t i = 0; i < n; ++i) {
        next_review(src, line, i);
        fx.extract(line, ids);
        const std::uint64_t size = cache.ids.size() + ids.size();
        if (size > limit) {
            cache = ReviewCache{};
            return false;
        }
        if (size > cache.ids.capacity())
            cache.ids.reserve(std::min(limit, std::max(size, cache.ids.capacity() + cache.ids.capacity() / 2)));
        cache.ids.insert(cache.ids.end(), ids.begin(), ids.end());
        cache.offsets.push_back(cache.ids.size());
        if ((i & 1023) == 0) progress(0.35 * double(i) / double(n));
    }
    progress(0.35);
    return true;
}

// Learns in memory, or sets the plan to stream when the reviews are over
// the budget or the system will not give what the budget allows (a limit
// on the address space, strict overcommit).
TrainResult train_in_memory(TextSource& reviews, const ReviewSample& sample, const std::vector<std::uint8_t>& labels,
                            const TrainOptions& options, TrainingPlan& plan, ProgressSink& progress) {
    try {
        ReviewCache cache;
        if (fill_cache(reviews, sample, labels.size(), plan, cache, progress))
            return train_nbsvm(cache, labels, options, plan, progress);
        plan.stream_instead("features over the budget");
    } catch (const std::bad_alloc&) {
        // The budget is more than the system gives: stream within the
        // least that streaming needs, with room for blocks of reviews.
        const std::uint64_t least = streamed_floor(labels.size(), plan.features.bits) + (std::uint64_t{16} << 20);
        plan.budget = std::min(plan.budget, least);
        plan.stream_instead("the system gave less memory than the budget");
    }
    return TrainResult{};
}

}  // namespace

TrainResult train_model(TextSource& reviews, const std::vector<std::uint8_t>& labels, const TrainOptions& options,
                        const std::function<void(double)>& progress_callback) {
    check_feature_options(options.features);
    if (labels.empty()) throw Error("no reviews to learn from", "没有可供学习的评论");
    ProgressSink progress(progress_callback);
    const std::size_t n = labels.size();
    const ReviewSample sample = sample_reviews(reviews, n, options.features);
    TrainingPlan plan = plan_training(sample, n, options);
    TrainResult result;
    if (plan.path != SolverPath::Streamed) result = train_in_memory(reviews, sample, labels, options, plan, progress);
    if (plan.path == SolverPath::Streamed) result = train_streamed(reviews, labels, options, plan, progress);
    result.path_reason = plan.reason;
    result.budget = plan.budget;
    return result;
}

}  // namespace sentiment
