#include "text/double_byte.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "text/big5.h"
#include "text/gb18030.h"

namespace sentiment {

namespace {

constexpr unsigned kLeads = 0xFE - 0x81 + 1, kTrails = 0xFE - 0x40 + 1;
using Table = std::array<CharKind, kLeads * kTrails>;

std::size_t index(unsigned char lead, unsigned char trail) {
    return static_cast<std::size_t>(lead - 0x81) * kTrails + static_cast<std::size_t>(trail - 0x40);
}

char32_t first_code_point(std::string_view s) {
    const auto b = [&](std::size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(s[k])); };
    if (s.empty()) return 0;
    if (b(0) < 0x80) return b(0);
    const std::size_t n = b(0) >= 0xF0 ? 4 : b(0) >= 0xE0 ? 3 : 2;
    if (s.size() < n) return 0;
    char32_t cp = b(0) & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
    for (std::size_t k = 1; k < n; ++k) cp = (cp << 6) | (b(k) & 0x3F);
    return cp;
}

// Bopomofo is in both tables, but Chinese text hardly uses it; it is what
// one encoding's punctuation becomes in the other (GBK's full-width marks
// read as Big5).
CharKind pair_kind(char32_t cp) {
    return (cp >= 0x3100 && cp <= 0x312F) || (cp >= 0x31A0 && cp <= 0x31BF) ? CharKind::Rare : char_kind(cp);
}

// Decodes every pair the encoding's structure allows, each followed by a
// line break so that what each pair became can be told apart; a pair the
// converter refuses is marked and the rest decoded after it.
template <typename Convert, typename Allowed>
Table make_table(Convert convert, Allowed allowed) {
    Table table;
    table.fill(CharKind::Invalid);
    std::string in;
    std::vector<std::size_t> where;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead)
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail)
            if (allowed(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail))) {
                in += static_cast<char>(lead);
                in += static_cast<char>(trail);
                in += '\n';
                where.push_back(index(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)));
            }
    std::size_t item = 0;
    while (item < where.size()) {
        std::string out;
        const std::size_t first = item;
        const std::size_t bad = convert(std::string_view(in).substr(first * 3), out);
        std::size_t start = 0;
        for (std::size_t nl = out.find('\n'); nl != std::string::npos; nl = out.find('\n', start)) {
            if (item == where.size()) break;
            const char32_t cp = first_code_point(std::string_view(out).substr(start, nl - start));
            table[where[item++]] = cp == 0 ? CharKind::Invalid : pair_kind(cp);
            start = nl + 1;
        }
        if (bad == std::string_view::npos) break;
        item = first + bad / 3 + 1;  // past the refused pair (its slot stays Invalid)
    }
    return table;
}

bool in(unsigned char c, unsigned char lo, unsigned char hi) { return c >= lo && c <= hi; }

}  // namespace

CharKind gb_pair_kind(unsigned char lead, unsigned char trail) {
    static const Table table = make_table(gb18030_to_utf8, [](unsigned char, unsigned char t) { return t != 0x7F; });
    if (!in(lead, 0x81, 0xFE) || !in(trail, 0x40, 0xFE)) return CharKind::Invalid;
    return table[index(lead, trail)];
}

CharKind big5_pair_kind(unsigned char lead, unsigned char trail) {
    static const Table table = make_table(big5_to_utf8, [](unsigned char l, unsigned char t) {
        return in(l, 0xA1, 0xF9) && (in(t, 0x40, 0x7E) || in(t, 0xA1, 0xFE));
    });
    if (!in(lead, 0x81, 0xFE) || !in(trail, 0x40, 0xFE)) return CharKind::Invalid;
    return table[index(lead, trail)];
}

}  // namespace sentiment
