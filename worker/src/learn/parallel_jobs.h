#pragma once
#include <atomic>
#include <cstddef>
#include <functional>

namespace sentiment {

// Passes fractions on, never backwards and never reaching 1: only whoever
// saves the result may say the work is done.
class ProgressSink {
public:
    explicit ProgressSink(std::function<void(double)> sink) : sink_(std::move(sink)) {}
    void operator()(double fraction);
    double reported() const { return reported_; }

private:
    std::function<void(double)> sink_;
    double reported_ = 0;
};

// Runs jobs 0..count-1 on up to `threads` threads; each job moves its own
// counter from 0 to 1000 as it works. Meanwhile the calling thread reports
// their mean share done, mapped onto [begin, end], every 20 ms. The first
// exception of any job is rethrown once every thread has stopped.
void run_jobs(std::size_t count, unsigned threads,
              const std::function<void(std::size_t job, std::atomic<int>& permille)>& job, ProgressSink& progress,
              double begin, double end);

}  // namespace sentiment
