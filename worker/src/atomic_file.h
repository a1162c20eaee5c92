#pragma once
#include <string>
#include <string_view>

namespace sentiment {

// Writes data to a temporary file in the same directory as path and renames
// it over path, so readers see either the old content or all of the new.
// With durable set the data reaches the disk before the rename, so a crash
// cannot leave a half-written file under the final name either.
// On failure the temporary file is removed and Error is thrown.
void write_file_atomically(const std::string& path, std::string_view data, const std::string& display_name,
                           bool durable);

}  // namespace sentiment
