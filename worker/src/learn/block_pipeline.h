#pragma once
#include <cstddef>
#include <cstdint>
#include <limits>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "features/hashed_features.h"
#include "io/line_reader.h"
#include "learn/doc.h"

namespace sentiment {

// Reads the line of review `index` of a training pass; throws Error when the
// source ends before it, as when the file shrinks while training.
void next_review(TextSource& source, std::string_view& line, std::size_t index);

// A run of consecutive reviews and the feature ids of each.
struct FeatureBlock {
    std::size_t first = 0;  // index of the first review in the file
    std::size_t count = 0;
    std::vector<std::uint32_t> ids;
    std::vector<std::uint64_t> offsets;  // review k: ids[offsets[k], offsets[k + 1])

    // Review k of the block, labelled from the labels of the whole file.
    Doc doc(std::size_t k, const std::vector<std::uint8_t>& labels) const {
        return Doc{ids.data() + offsets[k], static_cast<std::uint32_t>(offsets[k + 1] - offsets[k]), labels[first + k]};
    }
};

// Turns the first n lines of a source into feature ids on several threads
// and hands the blocks to the caller in file order, so what the caller
// computes does not depend on thread timing. One thread reads and decodes
// (the source is sequential), workers hash, the caller learns; a fixed number
// of blocks in flight, each ending after block_lines lines or once its text
// reaches block_bytes, bounds the memory whatever the length of the reviews.
class BlockPipeline {
public:
    BlockPipeline(TextSource& source, std::size_t n, const FeatureOptions& features, std::size_t block_lines,
                  unsigned workers, std::size_t block_bytes = std::numeric_limits<std::size_t>::max());
    // Blocks in flight at once: what the memory bound multiplies.
    static std::size_t slots_for(unsigned workers);
    ~BlockPipeline();
    // Rewinds the source and passes every block to consume, in order. An
    // Error from reading (or from consume) stops all threads and is rethrown.
    void run(const std::function<void(const FeatureBlock&)>& consume);

private:
    struct Slot;
    struct Run;
    void read_blocks(Run& run);
    void read_block(Slot& slot, std::size_t seq, std::size_t first);
    void hash_blocks(Run& run);
    static void hash_block(Slot& slot, FeatureExtractor& extractor, std::vector<std::uint32_t>& ids);
    void consume_blocks(Run& run, const std::function<void(const FeatureBlock&)>& consume);

    // Kept from run to run: buffers that grow once are not freed and
    // allocated again on other threads, which fragments the heap.
    std::vector<Slot> slots_;
    TextSource& source_;
    std::size_t n_;
    FeatureOptions features_;
    std::size_t block_lines_;
    std::size_t block_bytes_;
    unsigned workers_;
};

}  // namespace sentiment
