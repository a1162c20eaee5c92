#pragma once
#include <string>
#include <vector>

namespace sentiment {

// Throws Error unless path names nothing yet, a regular file, or a symbolic
// link to a regular file or to nothing (an atomic write replaces the link,
// leaving what it points to alone): writing "over" a directory, device, FIFO
// or socket, or a link to one, would either fail late or put a regular file
// where the system expects something else.
void check_output_kind(const std::string& path, const std::string& display_name);

// Refuses, before anything is written, a run whose inputs are one file
// under two names, or two of which are standard input (it can be read only
// once); whose outputs name one of its inputs (the same device and inode, or
// on Windows the same file index) or each other, even before they exist (the
// same entry of the same directory, which on Windows ignores case and
// trailing dots and spaces); whose outputs put two on one standard stream,
// or write to a standard stream that is one of its inputs; and any output
// of the wrong kind. Paths are UTF-8; see standard_streams.h for "-".
void check_run_files(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs);

}  // namespace sentiment
