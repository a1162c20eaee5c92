// Plans how to learn from the reviews and hands them to that learner: NBSVM
// on reviews held in memory (in_memory_nbsvm), or NBSVM by blocks read from
// the file when they do not fit (streamed_nbsvm).
#include "trainer.h"

#include <algorithm>

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

// Hashes every review into the cache; false (and an empty cache) once they
// will not fit what the plan's budget leaves for feature ids.
bool fill_cache(TextSource& src, std::size_t n, const TrainingPlan& plan, ReviewCache& cache, ProgressSink& progress) {
    const std::uint64_t limit = cache_limit_ids(plan.budget, n, plan.features.bits, plan.fits_at_once);
    FeatureExtractor fx(plan.features);
    std::vector<std::uint32_t> ids;
    // Pages of the reserve are only touched as they fill, and growth
    // without it would hold two copies at once.
    cache.ids.reserve(limit);
    cache.offsets.reserve(n + 1);
    src.rewind();
    std::string_view line;
    for (std::size_t i = 0; i < n; ++i) {
        next_review(src, line, i);
        fx.extract(line, ids);
        if (cache.ids.size() + ids.size() > limit) {
            cache = ReviewCache{};
            return false;
        }
        cache.ids.insert(cache.ids.end(), ids.begin(), ids.end());
        cache.offsets.push_back(cache.ids.size());
        if ((i & 1023) == 0) progress(0.35 * double(i) / double(n));
    }
    progress(0.35);
    return true;
}

}  // namespace

TrainResult train_model(TextSource& reviews, const std::vector<std::uint8_t>& labels, const TrainOptions& options,
                        const std::function<void(double)>& progress_callback) {
    check_feature_options(options.features);
    if (labels.empty()) throw Error("no reviews to learn from", "没有可供学习的评论");
    ProgressSink progress(progress_callback);
    const std::size_t n = labels.size();
    TrainingPlan plan = plan_training(sample_reviews(reviews, n, options.features), n, options);
    ReviewCache cache;
    if (plan.path != SolverPath::Streamed && !fill_cache(reviews, n, plan, cache, progress)) plan.stream_instead();
    TrainResult result = plan.path == SolverPath::Streamed ? train_streamed(reviews, labels, options, plan, progress)
                                                           : train_nbsvm(cache, labels, options, plan, progress);
    result.path_reason = plan.reason;
    result.budget = plan.budget;
    return result;
}

}  // namespace sentiment
