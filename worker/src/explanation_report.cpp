#include "explanation_report.h"

#include <cstdio>

#include "commands.h"

namespace sentiment {

namespace {

std::string signed_number(double x) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%+.4f", x);
    return buf;
}

// Words in quotes, letters inside a word in brackets: "cold" and [cold]
// are different features.
std::string shown(const NamedFeature& f) { return f.letters ? "[" + f.name + "]" : "\"" + f.name + "\""; }

std::string side(const Explanation& e, std::size_t top, bool positive) {
    std::string s = positive ? "  for 好评:" : "  for 差评:";
    const std::vector<const Contribution*> parts = e.strongest(top, positive);
    if (parts.empty()) return s + " nothing\n";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        s += i ? ", " : " ";
        for (std::size_t k = 0; k < parts[i]->ngrams.size(); ++k) s += (k ? " / " : "") + shown(parts[i]->ngrams[k]);
        s += " " + signed_number(parts[i]->weight);
    }
    return s + "\n";
}

}  // namespace

std::string describe_explanation(const Explanation& e, std::uint64_t line, std::string_view text, std::size_t top) {
    std::string s = "line " + std::to_string(line) + "\t" + format_verdict_line(e.probability(), text) + "\n";
    s += side(e, top, true) + side(e, top, false);
    std::size_t zero = 0;
    for (const Contribution& c : e.parts) zero += c.weight == 0;
    s += "  score " + signed_number(e.score()) + " = bias " + signed_number(e.bias) + " + the weights of " +
         std::to_string(e.parts.size()) + " buckets (" + std::to_string(e.ngrams) + " n-grams";
    if (e.ngrams > e.parts.size()) s += ", some sharing a bucket or repeated";
    return s + "; " + std::to_string(zero) + " of the buckets weigh 0)\n";
}

}  // namespace sentiment
