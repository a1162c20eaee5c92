#pragma once
#include <cstddef>
#include <vector>

#include "io/line_reader.h"

namespace sentiment {

// The rows of a source that a label set keeps (LabelSet::kept), so that
// reviews rated 3 stars drop out of every pass with their labels and the
// rest stay aligned. With an empty mask every row is kept.
class KeptRows : public TextSource {
public:
    KeptRows(TextSource& rows, const std::vector<bool>& kept) : rows_(rows), kept_(kept) {}

    bool next(std::string_view& line) override {
        if (kept_.empty()) return rows_.next(line);
        while (row_ < kept_.size()) {
            if (!rows_.next(line)) return false;
            if (kept_[row_++]) return true;
        }
        return false;
    }
    void rewind() override {
        rows_.rewind();
        row_ = 0;
    }

private:
    TextSource& rows_;
    const std::vector<bool>& kept_;
    std::size_t row_ = 0;
};

}  // namespace sentiment
