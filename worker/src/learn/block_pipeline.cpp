#include "learn/block_pipeline.h"

#include <algorithm>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>

#include "text/errors.h"

namespace sentiment {

void next_review(TextSource& source, std::string_view& line, std::size_t index) {
    if (!source.next(line))
        throw Error("the reviews ended early, at review " + std::to_string(index + 1) +
                        " (was the file changed while training?)",
                    "评论在第 " + std::to_string(index + 1) + " 条提前结束（训练期间文件被修改了吗？）");
}

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

// What the reader, the hashers and the consumer of one run share, under mu.
struct BlockPipeline::Run {
    std::mutex mu;
    std::condition_variable cv;
    bool stop = false;
    // Known once the reader has cut the last block.
    std::size_t blocks = std::numeric_limits<std::size_t>::max();
    std::size_t next_hash = 0;

    // Hands a slot on to the next stage.
    void pass_on(Slot& s, SlotState state) {
        std::lock_guard<std::mutex> lock(mu);
        s.state = state;
        cv.notify_all();
    }
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
    for (Slot& s : slots_) s.state = SlotState::Free;
    Run r;
    source_.rewind();
    std::vector<std::thread> threads;
    auto finish = [&] {
        {
            std::lock_guard<std::mutex> lock(r.mu);
            r.stop = true;
        }
        r.cv.notify_all();
        for (auto& t : threads)
            if (t.joinable()) t.join();
    };
    try {
        threads.emplace_back([&] { read_blocks(r); });
        for (unsigned w = 0; w < workers_; ++w) threads.emplace_back([&] { hash_blocks(r); });
        consume_blocks(r, consume);
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

// The one reading thread: the source is sequential.
void BlockPipeline::read_blocks(Run& r) {
    std::size_t line_index = 0;
    for (std::size_t seq = 0; line_index < n_; ++seq) {
        Slot& s = slots_[seq % slots_.size()];
        {
            std::unique_lock<std::mutex> lock(r.mu);
            r.cv.wait(lock, [&] { return r.stop || s.state == SlotState::Free; });
            if (r.stop) return;
        }
        read_block(s, seq, line_index);
        line_index += s.block.count;
        std::lock_guard<std::mutex> lock(r.mu);
        s.state = SlotState::Read;
        if (s.error || line_index >= n_) r.blocks = seq + 1;
        r.cv.notify_all();
        if (s.error) return;
    }
}

// Up to block_lines_ lines from `first` on, ending early once the text
// reaches block_bytes_; an error is kept for the consumer to rethrow.
void BlockPipeline::read_block(Slot& s, std::size_t seq, std::size_t first) {
    s.seq = seq;
    s.text.clear();
    s.line_ends.clear();
    s.error = nullptr;
    s.block.first = first;
    s.block.count = 0;
    const std::size_t most = std::min(block_lines_, n_ - first);
    try {
        std::string_view line;
        for (std::size_t k = 0; k < most && (k == 0 || s.text.size() < block_bytes_); ++k) {
            next_review(source_, line, first + k);
            s.text.append(line);
            s.line_ends.push_back(static_cast<std::uint32_t>(s.text.size()));
            ++s.block.count;
        }
    } catch (...) {
        s.error = std::current_exception();
    }
}

// A hashing thread: takes blocks in order as they are read.
void BlockPipeline::hash_blocks(Run& r) {
    FeatureExtractor fx(features_);
    std::vector<std::uint32_t> ids;
    for (;;) {
        Slot* s;
        {
            std::unique_lock<std::mutex> lock(r.mu);
            r.cv.wait(lock, [&] {
                const Slot& next = slots_[r.next_hash % slots_.size()];
                return r.stop || r.next_hash >= r.blocks ||
                       (next.state == SlotState::Read && next.seq == r.next_hash);
            });
            if (r.stop || r.next_hash >= r.blocks) return;
            s = &slots_[r.next_hash % slots_.size()];
            s->state = SlotState::Hashing;
            ++r.next_hash;
        }
        if (!s->error) hash_block(*s, fx, ids);
        r.pass_on(*s, SlotState::Ready);
    }
}

void BlockPipeline::hash_block(Slot& s, FeatureExtractor& fx, std::vector<std::uint32_t>& ids) {
    try {
        FeatureBlock& b = s.block;
        b.ids.clear();
        b.offsets.assign(1, 0);
        std::uint32_t begin = 0;
        for (std::uint32_t end : s.line_ends) {
            fx.extract(std::string_view(s.text.data() + begin, end - begin), ids);
            b.ids.insert(b.ids.end(), ids.begin(), ids.end());
            b.offsets.push_back(b.ids.size());
            begin = end;
        }
    } catch (...) {
        s.error = std::current_exception();
    }
}

// The calling thread: hands the blocks on in file order.
void BlockPipeline::consume_blocks(Run& r, const std::function<void(const FeatureBlock&)>& consume) {
    for (std::size_t seq = 0;; ++seq) {
        Slot& s = slots_[seq % slots_.size()];
        {
            std::unique_lock<std::mutex> lock(r.mu);
            r.cv.wait(lock, [&] { return seq >= r.blocks || (s.state == SlotState::Ready && s.seq == seq); });
            if (seq >= r.blocks) return;
        }
        if (s.error) std::rethrow_exception(s.error);
        consume(s.block);
        r.pass_on(s, SlotState::Free);
    }
}

}  // namespace sentiment
