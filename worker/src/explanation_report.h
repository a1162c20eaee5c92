#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "features/explanation.h"

namespace sentiment {

// What `sentiment explain` prints for one line: its number and verdict as
// test writes it, the `top` contributions for each side with their weights
// ("words" in quotes, [letters] of a word in brackets; n-grams sharing a
// bucket joined by " / ", its weight counted once), and how the score adds
// up.
std::string describe_explanation(const Explanation& e, std::uint64_t line, std::string_view text, std::size_t top);

}  // namespace sentiment
