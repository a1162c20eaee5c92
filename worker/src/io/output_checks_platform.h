#pragma once
// What checking outputs needs from the system: output_checks_posix.cpp and
// output_checks_win32.cpp each give it for theirs (CMake picks one).
#include <cstdint>
#include <optional>
#include <string>

#include "io/file_handle.h"

namespace sentiment::platform {

struct FileId {
    std::uint64_t device = 0, index = 0;
    bool operator==(const FileId& o) const { return device == o.device && index == o.index; }
};

// The identity of the file a path names, or of the link itself without
// follow_links; nothing when the path names nothing (yet).
std::optional<FileId> identity(const std::string& path, bool follow_links);

// The identity of the regular file a standard stream writes to, if it is one.
std::optional<FileId> stream_file(StandardStream stream);

// Whether two names in one directory name the same entry there: the same
// bytes, or on Windows the same letters in any case once trailing dots and
// spaces (which Windows drops) are gone.
bool same_entry_name(const std::string& a, const std::string& b);

// What a path names when that cannot be replaced by an output (a
// directory, a device...), in English and in Chinese, and whether through a
// link; nothing for a regular file, a link to one, a dangling link or no
// file.
struct Kind {
    const char* english;
    const char* chinese;
    bool linked = false;
};
std::optional<Kind> unwritable_kind(const std::string& path);

}  // namespace sentiment::platform
