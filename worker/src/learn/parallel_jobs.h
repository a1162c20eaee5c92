#pragma once
#include <atomic>
#include <cstddef>
#include <functional>

#include "learn/progress_sink.h"

namespace sentiment {

// Runs jobs 0..count-1 on up to `threads` threads; each job moves its own
// counter from 0 to 1000 as it works. Meanwhile the calling thread reports
// their mean share done, mapped onto [begin, end], every 20 ms. The first
// exception of any job is rethrown once every thread has stopped.
void run_jobs(std::size_t count, unsigned threads,
              const std::function<void(std::size_t job, std::atomic<int>& permille)>& job, ProgressSink& progress,
              double begin, double end);

}  // namespace sentiment
