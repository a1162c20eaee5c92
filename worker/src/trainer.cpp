// Picks how to learn from the reviews and hands them to that learner: NBSVM
// on reviews held in memory (nbsvm_training), AdaGrad over them when asked
// for (--sgd), or AdaGrad streaming them from the file when they do not fit
// (streamed_learner).
#include "trainer.h"

#include <algorithm>
#include <string>

#include "errors.h"
#include "nb_counts.h"
#include "nbsvm_training.h"
#include "parallel_jobs.h"
#include "streamed_learner.h"

namespace sentiment {

namespace {

constexpr std::size_t kSampleLines = 2000;

void next_line(TextSource& src, std::string_view& line, std::size_t i) {
    if (!src.next(line))
        throw Error("the reviews ended early, at review " + std::to_string(i + 1) +
                        " (was the file changed while training?)",
                    "评论在第 " + std::to_string(i + 1) + " 条提前结束（训练期间文件被修改了吗？）");
}

// Hashes every review into the cache; false (and an empty cache) once they
// will not fit in limit ids.
bool fill_cache(TextSource& src, std::size_t n, const FeatureOptions& features, std::size_t limit, ReviewCache& cache,
                ProgressSink& progress) {
    FeatureExtractor fx(features);
    std::vector<std::uint32_t> ids;
    // Pages of the reserve are only touched as they fill, and growth
    // without it would hold two copies at once.
    cache.ids.reserve(limit);
    cache.offsets.reserve(n + 1);
    src.rewind();
    std::string_view line;
    for (std::size_t i = 0; i < n; ++i) {
        next_line(src, line, i);
        fx.extract(line, ids);
        // Once the first reviews show the whole set will not fit by far,
        // stream at once instead of filling the cache first.
        const bool hopeless = i + 1 == kSampleLines &&
                              double(cache.ids.size() + ids.size()) / double(i + 1) * double(n) > 2.0 * double(limit);
        if (hopeless || cache.ids.size() + ids.size() > limit) {
            cache = ReviewCache{};
            return false;
        }
        cache.ids.insert(cache.ids.end(), ids.begin(), ids.end());
        cache.offsets.push_back(cache.ids.size());
        if ((i & 1023) == 0) progress(0.35 * double(i) / double(n));
    }
    return true;
}

}  // namespace

TrainResult train_model(TextSource& reviews, const std::vector<std::uint8_t>& labels, const TrainOptions& options,
                        const std::function<void(double)>& progress_callback) {
    const auto& f = options.features;
    if (f.bits < kMinBits || f.bits > kMaxBits || f.ngrams < 1 || f.ngrams > kMaxNgrams || f.char_max > kMaxCharNgram ||
        f.char_min > f.char_max || (f.char_max > 0 && f.char_min == 0))
        throw Error("feature settings out of range", "特征设置超出范围");
    if (labels.empty()) throw Error("no reviews to learn from", "没有可供学习的评论");
    ProgressSink progress(progress_callback);
    const std::size_t n = labels.size();
    ReviewCache cache;
    if (!fill_cache(reviews, n, f, options.cache_limit, cache, progress))
        return train_streamed(reviews, labels, options, progress);
    if (options.use_sgd) return train_adagrad_cached(cache, labels, options, progress);
    const bool cross_validate = options.holdout > 0 && n >= 200;
    return train_nbsvm(cache, labels, options, cross_validate, progress);
}

}  // namespace sentiment
