#pragma once
// What writing a file atomically needs from the system beyond FileHandle:
// atomic_file_posix.cpp and atomic_file_win32.cpp each give it for theirs
// (CMake picks one); the rest of atomic_file.cpp is the same everywhere.
#include <filesystem>
#include <string>

namespace sentiment {

// Shared by both halves, from atomic_file.cpp.
[[noreturn]] void cannot_write(const std::string& name, const std::string& why);

namespace platform {

unsigned long current_pid();
// False only when no process has this id; one we may not signal counts.
bool process_alive(unsigned long pid);
// Whether a leftover file is this user's to remove.
bool owned_by_this_user(const std::filesystem::path& file);
// Gives the closed file temp the name target, replacing what is there (a
// link itself, not what it points to); the system's reason on failure, or
// nothing.
std::string replace(const std::filesystem::path& temp, const std::filesystem::path& target);
// Removes the directory entry itself, a link rather than what it points to;
// nothing there is fine.
void remove_entry(const std::filesystem::path& target, const std::string& display_name);

}  // namespace platform

}  // namespace sentiment
