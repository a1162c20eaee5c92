#include "io/file_handle.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace sentiment {

namespace fs = std::filesystem;

namespace {

int fd(std::intptr_t handle) { return static_cast<int>(handle); }

}  // namespace

bool FileHandle::fail() {
    error_ = std::strerror(errno);
    return false;
}

FileHandle FileHandle::create_new(const fs::path& path) {
    FileHandle file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644), true);
    if (!file.valid()) {
        file.name_taken_ = errno == EEXIST;
        file.fail();
    }
    return file;
}

FileHandle FileHandle::standard(StandardStream stream) {
    const int number = stream == StandardStream::Input ? 0 : stream == StandardStream::Output ? 1 : 2;
    return FileHandle(number, false);
}

bool FileHandle::write_all(std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd(handle_), data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail();
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::ptrdiff_t FileHandle::read_some(char* dst, std::size_t want) {
    for (;;) {
        const ssize_t n = ::read(fd(handle_), dst, want);
        if (n >= 0) return n;
        if (errno != EINTR) {
            fail();
            return -1;
        }
    }
}

bool FileHandle::rewind() { return ::lseek(fd(handle_), 0, SEEK_SET) == 0 || fail(); }

bool FileHandle::sync() { return ::fsync(fd(handle_)) == 0 || fail(); }

bool FileHandle::close() {
    if (!valid()) return true;
    const int closing = fd(std::exchange(handle_, kInvalid));
    return !std::exchange(owned_, false) || ::close(closing) == 0 || fail();
}

}  // namespace sentiment
