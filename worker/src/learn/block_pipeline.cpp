#include "learn/block_pipeline.h"

#include <algorithm>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>

#include "text/errors.h"

namespace sentiment {

namespace {
enum class SlotState { Free, Read, Hashing, Ready };
}  // namespace

struct BlockPipeline::Slot {
    SlotState state = SlotState::Free;
    std::size_t seq = 0;
    std::string text;
    std::vector<std::uint32_t> line_ends;
    FeatureBlock block;
    std::exception_ptr error;
};

BlockPipeline::BlockPipeline(TextSource& source, std::size_t n, const FeatureOptions& features,
                             std::size_t block_lines, unsigned workers, std::size_t block_bytes)
    : source_(source), n_(n), features_(features), block_lines_(std::max<std::size_t>(1, block_lines)),
      block_bytes_(std::max<std::size_t>(1, block_bytes)), workers_(std::max(1u, workers)) {
    slots_.resize(slots_for(workers_));
}

BlockPipeline::~BlockPipeline() = default;

std::size_t BlockPipeline::slots_for(unsigned workers) { return std::max(1u, workers) + 2; }

void BlockPipeline::run(const std::function<void(const FeatureBlock&)>& consume) {
    if (n_ == 0) return;
    // Known once the reader has cut the last block.
    std::size_t blocks = std::numeric_limits<std::size_t>::max();
    auto& slots = slots_;
    for (Slot& s : slots) s.state = SlotState::Free;
    const std::size_t k_slots = slots.size();
    std::mutex mu;
    std::condition_variable cv;
    bool stop = false;
    std::size_t next_hash = 0;

    source_.rewind();
    auto reader = [&] {
        std::size_t line_index = 0;
        for (std::size_t seq = 0; line_index < n_; ++seq) {
            Slot& s = slots[seq % k_slots];
            {
                std::unique_lock<std::mutex> lock(mu);
                cv.wait(lock, [&] { return stop || s.state == SlotState::Free; });
                if (stop) return;
            }
            s.seq = seq;
            s.text.clear();
            s.line_ends.clear();
            s.error = nullptr;
            s.block.first = line_index;
            s.block.count = 0;
            const std::size_t most = std::min(block_lines_, n_ - line_index);
            try {
                std::string_view line;
                for (std::size_t k = 0; k < most && (k == 0 || s.text.size() < block_bytes_); ++k) {
                    if (!source_.next(line))
                        throw Error("the reviews ended early, at review " + std::to_string(line_index + k + 1) +
                                        " (was the file changed while training?)",
                                    "评论在第 " + std::to_string(line_index + k + 1) +
                                        " 条提前结束（训练期间文件被修改了吗？）");
                    s.text.append(line);
                    s.line_ends.push_back(static_cast<std::uint32_t>(s.text.size()));
                    ++s.block.count;
                }
            } catch (...) {
                s.error = std::current_exception();
            }
            line_index += s.block.count;
            std::lock_guard<std::mutex> lock(mu);
            s.state = SlotState::Read;
            if (s.error || line_index >= n_) blocks = seq + 1;
            cv.notify_all();
            if (s.error) return;
        }
    };
    auto worker = [&] {
        FeatureExtractor fx(features_);
        std::vector<std::uint32_t> ids;
        for (;;) {
            Slot* s;
            {
                std::unique_lock<std::mutex> lock(mu);
                cv.wait(lock, [&] {
                    return stop || next_hash >= blocks ||
                           (slots[next_hash % k_slots].state == SlotState::Read &&
                            slots[next_hash % k_slots].seq == next_hash);
                });
                if (stop || next_hash >= blocks) return;
                s = &slots[next_hash % k_slots];
                s->state = SlotState::Hashing;
                ++next_hash;
            }
            if (!s->error) {
                try {
                    FeatureBlock& b = s->block;
                    b.ids.clear();
                    b.offsets.assign(1, 0);
                    std::uint32_t begin = 0;
                    for (std::uint32_t end : s->line_ends) {
                        fx.extract(std::string_view(s->text.data() + begin, end - begin), ids);
                        b.ids.insert(b.ids.end(), ids.begin(), ids.end());
                        b.offsets.push_back(b.ids.size());
                        begin = end;
                    }
                } catch (...) {
                    s->error = std::current_exception();
                }
            }
            std::lock_guard<std::mutex> lock(mu);
            s->state = SlotState::Ready;
            cv.notify_all();
        }
    };

    std::vector<std::thread> threads;
    auto finish = [&] {
        {
            std::lock_guard<std::mutex> lock(mu);
            stop = true;
        }
        cv.notify_all();
        for (auto& t : threads)
            if (t.joinable()) t.join();
    };
    try {
        threads.emplace_back(reader);
        for (unsigned w = 0; w < workers_; ++w) threads.emplace_back(worker);
        for (std::size_t seq = 0;; ++seq) {
            Slot& s = slots[seq % k_slots];
            {
                std::unique_lock<std::mutex> lock(mu);
                cv.wait(lock, [&] { return seq >= blocks || (s.state == SlotState::Ready && s.seq == seq); });
                if (seq >= blocks) break;
            }
            if (s.error) std::rethrow_exception(s.error);
            consume(s.block);
            std::lock_guard<std::mutex> lock(mu);
            s.state = SlotState::Free;
            cv.notify_all();
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

}  // namespace sentiment
