#pragma once
// The names of the temporary files written beside outputs, and how a
// leftover of a killed run is told from everything else in a directory.
#include <cstddef>
#include <string>
#include <string_view>

namespace sentiment {

// Letters and digits from the system's random source.
std::string random_letters(std::size_t count);

// ".sentiment-tmp-<pid>-<12 letters or digits>": unpredictable, and short
// whatever the output is called, so that an output whose name takes all
// 255 bytes a name may have can still be written beside it.
std::string temporary_name(unsigned long pid);
bool is_temporary_name(std::string_view name, unsigned long* pid = nullptr);

// "<target_name>.tmp-<pid>-<12 letters or digits>", the names earlier
// versions gave theirs: their leftovers are cleared too.
bool is_former_temporary_name_of(std::string_view name, std::string_view target_name, unsigned long* pid = nullptr);

}  // namespace sentiment
