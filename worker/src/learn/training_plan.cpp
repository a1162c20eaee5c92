#include "learn/training_plan.h"

#include <algorithm>
#include <thread>

#include "learn/memory_budget.h"

namespace sentiment {

namespace {
// Cross-validation fits at most this many folds side by side.
constexpr unsigned kMaxFitsAtOnce = 5;
}  // namespace

unsigned default_threads() { return std::clamp(std::thread::hardware_concurrency(), 1u, 8u); }

void TrainingPlan::stream_instead(const char* why) {
    reason += std::string(reason.empty() ? "" : "; ") + why;
    path = SolverPath::Streamed;
}

TrainingPlan plan_training(const ReviewSample& sample, std::size_t reviews, const TrainOptions& options) {
    TrainingPlan plan;
    plan.budget = options.memory_budget ? options.memory_budget
                                        : default_memory_budget(physical_memory_bytes(), address_space_limit());
    plan.threads = options.threads ? options.threads : default_threads();
    plan.cross_validate = options.holdout > 0 && reviews >= kMinReviewsToValidate;
    plan.fits_at_once = plan.cross_validate ? std::min(plan.threads, kMaxFitsAtOnce) : 1;
    SolverRequest request;
    request.reviews = reviews;
    request.features = options.features;
    request.fits_at_once = plan.fits_at_once;
    request.budget = plan.budget;
    request.stream = options.stream;
    request.firm = options.firm_budget && options.memory_budget > 0;
    const SolverChoice choice = choose_solver(sample, request);
    plan.path = choice.path;
    plan.features = choice.features;
    plan.reason = choice.reason;
    plan.in_memory_bytes = choice.in_memory_bytes;
    return plan;
}

}  // namespace sentiment
