#include <gtest/gtest.h>

#include <string>

#include "io/line_reader.h"
#include "text/errors.h"
#include "learn/block_pipeline.h"

using namespace sentiment;

namespace {

// Blocks are cut by lines and by bytes; whatever the cut and the number of
// threads, every review arrives once, in file order, and no block holds
// much more text than asked for.
TEST(BlockPipeline, CutsByBytesAndKeepsFileOrder) {
    std::string text;
    std::vector<std::size_t> lengths;
    for (int i = 0; i < 3000; ++i) {
        // Mostly short lines, some very long ones.
        const std::size_t words = i % 97 == 0 ? 4000 : 3 + i % 11;
        std::string line;
        for (std::size_t w = 0; w < words; ++w) line += "w" + std::to_string((i * 31 + w) % 500) + " ";
        lengths.push_back(line.size());
        text += line + "\n";
    }
    FeatureOptions f;
    f.char_min = f.char_max = 0;
    struct Cut {
        std::size_t lines, bytes;
        unsigned workers;
    } cuts[] = {{8192, 4096, 1}, {8192, 4096, 3}, {7, 1 << 20, 2}, {100000, 1, 2}};
    for (const Cut& c : cuts) {
        LineReader reader(text, "r.txt");
        BlockPipeline pipe(reader, lengths.size(), f, c.lines, c.workers, c.bytes);
        for (int round = 0; round < 2; ++round) {
            std::size_t next = 0;
            pipe.run([&](const FeatureBlock& b) {
                ASSERT_EQ(b.first, next) << c.bytes;
                ASSERT_GE(b.count, 1u);
                ASSERT_LE(b.count, c.lines);
                std::size_t bytes = 0;
                for (std::size_t k = 0; k < b.count; ++k) {
                    EXPECT_GT(b.offsets[k + 1], b.offsets[k]) << "review " << b.first + k << " has no features";
                    bytes += lengths[b.first + k];
                }
                // Only the last line may take a block over its size.
                EXPECT_LT(bytes - lengths[b.first + b.count - 1], c.bytes) << "block at " << b.first;
                next += b.count;
            });
            EXPECT_EQ(next, lengths.size()) << "round " << round;
        }
    }
}

// A source shorter than promised (a file cut while training) and a learner
// that gives up: either error reaches the caller, after every thread has
// stopped, with the blocks before it delivered in order.
TEST(BlockPipeline, StopsAndRethrowsTheFirstError) {
    std::string text;
    for (int i = 0; i < 500; ++i) text += "review " + std::to_string(i) + "\n";
    FeatureOptions f;
    for (unsigned workers : {1u, 3u}) {
        LineReader reader(text, "r.txt");
        BlockPipeline pipe(reader, 600, f, 64, workers);
        std::size_t seen = 0;
        try {
            pipe.run([&](const FeatureBlock& b) {
                ASSERT_EQ(b.first, seen);
                seen += b.count;
            });
            FAIL() << "no error for 500 lines of 600";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("ended early, at review 501"), std::string::npos) << e.what();
        }
        EXPECT_EQ(seen, 448u) << workers << " workers";  // the whole blocks of 64 before line 501

        struct Enough {};
        std::size_t blocks = 0;
        EXPECT_THROW(pipe.run([&](const FeatureBlock&) {
            if (++blocks == 3) throw Enough{};
        }),
                     Enough);
        EXPECT_EQ(blocks, 3u);
    }
}

}  // namespace
