// What the streamed path keeps per review: a label, a dual variable in
// memory or in a temporary file, and a bounded sample of held-out scores.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "features/dataset.h"
#include "features/model.h"
#include "io/line_reader.h"
#include "io/temporary_names.h"
#include "learn/alpha_store.h"
#include "learn/calibration_sample.h"
#include "learn/solver_policy.h"
#include "trainer.h"
#include "test_support.h"

using namespace sentiment;

namespace {

struct Held {
    const char* name;
    std::array<std::size_t, 2> held;
    std::size_t most;
    std::array<std::size_t, 2> taken;  // expected of each class
    friend void PrintTo(const Held& h, std::ostream* os) { *os << h.name; }
};

class HeldOutSampleTakes : public ::testing::TestWithParam<Held> {};

// Each class gets its share, at least one, and its reviews are taken evenly
// over the file: no gap between two taken is more than one step too long.
TEST_P(HeldOutSampleTakes, ItsShareOfEachClassEvenly) {
    const Held& h = GetParam();
    HeldOutSample sample(h.held, h.most);
    EXPECT_EQ(sample.size(), h.taken[0] + h.taken[1]);
    std::array<std::size_t, 2> taken{}, seen{}, last{}, widest{};
    const std::size_t all = h.held[0] + h.held[1];
    for (std::size_t i = 0; i < all; ++i) {
        // The classes interleaved as a file would have them.
        const std::uint8_t c = seen[1] < h.held[1] && (seen[0] >= h.held[0] || i % 3 == 0) ? 1 : 0;
        const std::size_t k = seen[c]++;
        if (!sample.take(c)) continue;
        widest[c] = std::max(widest[c], k + 1 - last[c]);
        last[c] = k + 1;
        ++taken[c];
    }
    EXPECT_EQ(taken, h.taken);
    for (int c = 0; c < 2; ++c)
        if (h.taken[c] > 0) {
            EXPECT_LE(widest[c], h.held[c] / h.taken[c] + 1) << "class " << c;
        }
}

INSTANTIATE_TEST_SUITE_P(
    StreamedMemory, HeldOutSampleTakes,
    ::testing::Values(Held{"all_when_they_fit", {300, 700}, 1000, {300, 700}},
                      Held{"in_proportion", {250000, 750000}, 100000, {25000, 75000}},
                      Held{"a_rare_class_keeps_one", {3, 2000000}, 1000, {1, 999}},
                      Held{"one_class_held", {0, 5000}, 100, {0, 100}}),
    [](const auto& info) { return std::string(info.param.name); });

// Many reviews of one short feature set each: what a 5 M-line file of
// "good 123" lines is, scaled down.
struct ShortSet {
    std::string reviews, labels;
    Dataset data;
    explicit ShortSet(int n) {
        for (int i = 0; i < n; ++i) {
            const bool pos = (i * 7919) % 3 != 0;
            reviews += std::string(pos ? "good " : "bad ") + std::to_string(i) + "\n";
            labels += pos ? "1\n" : "0\n";
        }
        data = read_dataset(reviews, labels);
    }
    TrainResult train(TrainOptions o) const {
        LineReader reader(reviews, "reviews.txt");
        return train_model(reader, data.labels, o);
    }
};

TrainOptions streamed(std::uint64_t budget, const std::string& scratch) {
    TrainOptions o;
    o.features.bits = 16;
    o.stream = true;
    o.memory_budget = budget;
    o.scratch_dir = scratch;
    o.threads = 2;
    return o;
}

// Dual variables kept in temporary files give the model they give in
// memory, byte for byte, and the files are gone afterwards. Both budgets
// give blocks of the least size, so only where alpha lives differs.
TEST(StreamedMemory, DualVariablesOnDiskGiveTheSameModelAndLeaveNothing) {
    const ShortSet set(30000);
    const std::size_t n = set.data.labels.size();
    const std::uint64_t floor = streamed_floor(n, 16);
    ASSERT_FALSE(streamed_alpha_in_memory(floor, n, 16));
    ASSERT_TRUE(streamed_alpha_in_memory(floor + 4 * n, n, 16));
    TempDir dir;
    const TrainResult on_disk = set.train(streamed(floor, dir.path().u8string()));
    EXPECT_EQ(dir.listing(), "");
    const TrainResult in_memory = set.train(streamed(floor + 4 * n, dir.path().u8string()));
    ASSERT_EQ(on_disk.path, SolverPath::Streamed);
    EXPECT_GE(on_disk.epochs, 2) << "a second pass reads the file back";
    EXPECT_EQ(on_disk.epochs, in_memory.epochs);
    EXPECT_TRUE(serialize_model(on_disk.model) == serialize_model(in_memory.model));
    EXPECT_EQ(on_disk.validated, in_memory.validated);
    EXPECT_EQ(on_disk.validated, on_disk.set_aside);
}

// A directory where the file cannot be made stops training with an error
// naming it; with room in memory the directory is never touched.
TEST(StreamedMemory, ScratchDirThatCannotHoldTheFileIsNamed) {
    const ShortSet set(3000);
    const std::size_t n = set.data.labels.size();
    TempDir dir;
    const std::string missing = dir.file("gone");
    expect_error(error_of([&] { set.train(streamed(streamed_floor(n, 16), missing)); }), missing + ": cannot create",
                 missing + "：无法创建");
    EXPECT_EQ(set.train(streamed(std::uint64_t{1} << 30, missing)).path, SolverPath::Streamed);
    EXPECT_EQ(dir.listing(), "");
}

// The store itself: values survive passes through the files, in the
// order blocks come, and the files carry temporary names while they live.
TEST(StreamedMemory, AlphaStoreKeepsValuesAcrossPasses) {
    TempDir dir;
    std::vector<float> expected(1000, 0.0f);
    {
        AlphaStore store(expected.size(), false, dir.path().u8string());
        ASSERT_TRUE(store.on_disk());
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            EXPECT_TRUE(is_temporary_name(entry.path().filename().u8string())) << entry.path();
        for (int pass = 0; pass < 3; ++pass) {
            store.start_pass();
            for (std::size_t first = 0; first < expected.size(); first += 300) {
                const std::size_t count = std::min<std::size_t>(300, expected.size() - first);
                float* a = store.load(first, count);
                for (std::size_t k = 0; k < count; ++k) {
                    EXPECT_EQ(a[k], expected[first + k]) << "pass " << pass << " review " << first + k;
                    a[k] += float(first + k) * 0.5f + float(pass);
                    expected[first + k] = a[k];
                }
                store.store();
            }
        }
    }
    EXPECT_EQ(dir.listing(), "");
}

}  // namespace
