#pragma once
// An open file of the system: a descriptor on POSIX (file_handle_posix.cpp),
// a HANDLE on Windows (file_handle_win32.cpp); CMake picks one. It reads and
// writes bytes as they are, with no text-mode translation on either system.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

namespace sentiment {

enum class StandardStream { Input, Output, Error };

// Failures return false (or -1) and leave the system's reason in error().
// Closed when destroyed, unless it is one of the standard streams.
class FileHandle {
public:
    FileHandle() = default;
    ~FileHandle() { close(); }
    FileHandle(FileHandle&& other) noexcept { *this = std::move(other); }
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            close();
            handle_ = std::exchange(other.handle_, kInvalid);
            owned_ = std::exchange(other.owned_, false);
            name_taken_ = other.name_taken_;
            error_ = std::move(other.error_);
        }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // A new file, created exclusively and never through a link, open for
    // writing and reading back: not valid() when that fails, with
    // name_taken() when something has the name already.
    static FileHandle create_new(const std::filesystem::path& path);
    // A new file in the system's temporary directory that the system removes
    // once it is closed, however the process ends.
    static FileHandle create_scratch();
    static FileHandle standard(StandardStream stream);

    bool valid() const { return handle_ != kInvalid; }
    bool name_taken() const { return name_taken_; }
    const std::string& error() const { return error_; }

    bool write_all(std::string_view data);
    // The number of bytes read, 0 at the end, -1 on failure.
    std::ptrdiff_t read_some(char* dst, std::size_t want);
    bool rewind();
    // Makes what was written survive a crash of the system.
    bool sync();
    // Closes a file of ours (a standard stream is only let go); true when
    // there was nothing to close.
    bool close();

private:
    static constexpr std::intptr_t kInvalid = -1;
    FileHandle(std::intptr_t handle, bool owned) : handle_(handle), owned_(owned) {}
    bool fail();  // records the system's last error; returns false

    std::intptr_t handle_ = kInvalid;
    bool owned_ = false;
    bool name_taken_ = false;
    std::string error_;
};

}  // namespace sentiment
