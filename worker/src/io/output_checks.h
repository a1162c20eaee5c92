#pragma once
#include <string>
#include <vector>

namespace sentiment {

// Throws Error unless path names nothing yet, a regular file or a symbolic
// link (which an atomic write replaces, leaving what it points to alone):
// writing "over" a directory, device, FIFO or socket would either fail late
// or put a regular file where the system expects something else.
void check_output_kind(const std::string& path, const std::string& display_name);

// Refuses, before anything is written, a run whose inputs are one file
// under two names, whose outputs name one of its inputs (the same device and
// inode, or on Windows the same file index) or each other, and any output of
// the wrong kind. Paths are UTF-8.
void check_run_files(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs);

}  // namespace sentiment
