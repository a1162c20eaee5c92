#pragma once
// What checking outputs needs from the system: output_checks_posix.cpp and
// output_checks_win32.cpp each give it for theirs (CMake picks one).
#include <cstdint>
#include <optional>
#include <string>

namespace sentiment::platform {

struct FileId {
    std::uint64_t device = 0, index = 0;
    bool operator==(const FileId& o) const { return device == o.device && index == o.index; }
};

// The identity of the file a path names, or of the link itself without
// follow_links; nothing when the path names nothing (yet).
std::optional<FileId> identity(const std::string& path, bool follow_links);

// What a path names when that cannot be replaced by an output (a
// directory, a device...), in English and in Chinese; nothing for a
// regular file, a link or no file.
struct Kind {
    const char* english;
    const char* chinese;
};
std::optional<Kind> unwritable_kind(const std::string& path);

}  // namespace sentiment::platform
