#pragma once
// What writing a file atomically needs from the system: atomic_file_posix.cpp
// and atomic_file_win32.cpp each give it for theirs (CMake picks one); the
// rest of atomic_file.cpp is the same everywhere.
#include <filesystem>
#include <string>
#include <string_view>

namespace sentiment {

// Shared by both halves, from atomic_file.cpp.
[[noreturn]] void cannot_write(const std::string& name, const std::string& why);
// "<target_name>.tmp-<pid>-<12 random letters or digits>".
std::string temporary_name(const std::string& target_name);

namespace platform {

unsigned long current_pid();
// False only when no process has this id; one we may not signal counts.
bool process_alive(unsigned long pid);
// Whether a leftover file is this user's to remove.
bool owned_by_this_user(const std::filesystem::path& file);
// Creates a new temporary file beside target (never through a link), writes
// data to it, with durable forces it to the disk, and renames it over
// target; on failure removes it and throws Error.
void write_and_replace(const std::filesystem::path& target, std::string_view data, const std::string& display_name,
                       bool durable);
// Removes the directory entry itself, a link rather than what it points to;
// nothing there is fine.
void remove_entry(const std::filesystem::path& target, const std::string& display_name);

}  // namespace platform

}  // namespace sentiment
