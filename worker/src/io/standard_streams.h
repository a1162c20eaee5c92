#pragma once
// The names that stand for the standard streams, and writing to them.
#include <optional>
#include <string>
#include <string_view>

#include "io/file_handle.h"
#include "text/errors.h"

namespace sentiment {

// "-" or "/dev/stdin": standard input.
bool names_standard_input(std::string_view path);

// "-" or "/dev/stdout": standard output; "/dev/stderr": standard error. An
// output there is written through as it comes, never replaced: what those
// names point to belongs to the system.
std::optional<StandardStream> output_stream_named(std::string_view path);

// What messages call a file: "-" is "<stdin>" as an input and "<stdout>" as
// an output; any other name is shown as it is.
std::string input_display_name(const std::string& path);
std::string output_display_name(const std::string& path);

// "standard output: cannot write (<why>)", in both languages.
Error cannot_write_stream(StandardStream stream, const std::string& why);

// Writes all of data to standard output or error, bytes as they are;
// throws Error when the system refuses (a full disk, a closed pipe).
void write_to_stream(StandardStream stream, std::string_view data);

}  // namespace sentiment
