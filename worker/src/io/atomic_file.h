#pragma once
#include <string>
#include <string_view>

namespace sentiment {

// Writes data to a new temporary file in the same directory as path and
// renames it over path, so readers see either the old content or all of the
// new. The temporary name is unpredictable and created exclusively, so a
// planted file or link under it is never written through; path itself must
// be a regular file, a symbolic link (replaced, its target untouched) or
// nothing. With durable set the data reaches the disk before the rename, so
// a crash cannot leave a half-written file under the final name either.
// On failure the temporary file is removed and Error is thrown.
// The first write to a path also removes temporary files of that path left
// by runs that were killed.
void write_file_atomically(const std::string& path, std::string_view data, const std::string& display_name,
                           bool durable);

// "out.txt.tmp-<pid>-<12 letters or digits>": the name of a temporary file
// of ours for `target_name` (a bare file name), and whether a name is one.
bool is_temporary_name_of(std::string_view name, std::string_view target_name, unsigned long* pid = nullptr);

// Removes a file the way an output is replaced: a link itself, never what it
// points to. Nothing there is fine; anything else that fails throws Error.
void remove_output(const std::string& path, const std::string& display_name);

}  // namespace sentiment
