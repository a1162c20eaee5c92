#pragma once
#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace sentiment {

// The dual variables of the streamed solver, a float per review, starting
// at 0. In memory when the budget holds them; otherwise in two temporary
// files in `dir` (beside the model), one read and the other written each
// pass, as the blocks come in file order: the values, and so the model,
// are the same either way. The files are removed however the run ends
// short of a kill, whose leftovers the next output in that directory
// clears by their temporary names.
class AlphaStore {
public:
    AlphaStore(std::size_t reviews, bool in_memory, const std::string& dir);
    ~AlphaStore();
    AlphaStore(const AlphaStore&) = delete;
    AlphaStore& operator=(const AlphaStore&) = delete;

    bool on_disk() const { return memory_.empty() && reviews_ > 0; }
    // Before each pass over the file.
    void start_pass();
    // The variables of reviews [first, first + count): the next block of
    // the pass. Valid until store().
    float* load(std::size_t first, std::size_t count);
    // Keeps what load() gave, once the block is solved.
    void store();

private:
    struct Scratch;

    std::size_t reviews_;
    std::vector<float> memory_;
    std::vector<float> block_;  // on disk: the block loaded
    std::size_t first_ = 0;
    std::array<std::unique_ptr<Scratch>, 2> files_;  // [0] read, [1] written
    bool written_ = false;  // whether [0] holds a pass yet
};

}  // namespace sentiment
