#pragma once
#include <cstdint>
#include <string_view>

namespace sentiment {

// Counts line breaks as the line reader splits lines, so that the line a
// message names is the one the reader would give: LF, CR LF and CR alone
// each end a line. Text may come in pieces; a CR ending one piece and an LF
// starting the next are one break.
class LineBreaks {
public:
    // after_cr: the text before ended in CR.
    explicit LineBreaks(bool after_cr = false) : after_cr_(after_cr) {}
    std::uint64_t count(std::string_view text) {
        std::uint64_t breaks = 0;
        for (const char c : text) {
            breaks += c == '\r' || (c == '\n' && !after_cr_);
            after_cr_ = c == '\r';
        }
        return breaks;
    }
    // Whether a byte ends a line, given the byte before it.
    static bool ends_line(unsigned char c, unsigned char before) { return c == '\r' || (c == '\n' && before != '\r'); }

private:
    bool after_cr_ = false;
};

}  // namespace sentiment
