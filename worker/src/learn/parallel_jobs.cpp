#include "learn/parallel_jobs.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace sentiment {

void run_jobs(std::size_t count, unsigned threads,
              const std::function<void(std::size_t, std::atomic<int>&)>& job, ProgressSink& progress, double begin,
              double end) {
    if (count == 0) return;
    std::vector<std::atomic<int>> done(count);
    for (auto& d : done) d.store(0);
    std::atomic<std::size_t> next{0};
    std::exception_ptr error;
    std::mutex error_mu;
    auto work = [&] {
        for (;;) {
            const std::size_t j = next.fetch_add(1);
            if (j >= count) return;
            try {
                job(j, done[j]);
            } catch (...) {
                std::lock_guard<std::mutex> lock(error_mu);
                if (!error) error = std::current_exception();
            }
            done[j].store(1000);
        }
    };
    std::vector<std::thread> pool;
    const std::size_t wanted = std::clamp<std::size_t>(threads, 1, count);
    try {
        while (pool.size() < wanted) pool.emplace_back(work);
    } catch (const std::system_error&) {
        // Fewer threads than asked for still finish the work.
        if (pool.empty()) work();
    }
    for (;;) {
        long total = 0;
        for (auto& d : done) total += d.load();
        progress(begin + (end - begin) * double(total) / (1000.0 * double(count)));
        if (total == 1000 * long(count)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (auto& t : pool) t.join();
    if (error) std::rethrow_exception(error);
}

}  // namespace sentiment
