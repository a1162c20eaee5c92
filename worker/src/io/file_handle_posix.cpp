#include "io/file_handle.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <stdlib.h>
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
    FileHandle file(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644), true);
    if (!file.valid()) {
        file.name_taken_ = errno == EEXIST;
        file.fail();
    }
    return file;
}

FileHandle FileHandle::create_scratch() {
    FileHandle file;
    fs::path dir;
    try {
        dir = fs::temp_directory_path();
    } catch (const fs::filesystem_error& e) {
        file.error_ = e.path1().string() + ": " + e.code().message();
        return file;
    }
    std::string name = (dir / "sentiment-stdin-XXXXXX").string();
    const int opened = ::mkstemp(name.data());
    if (opened < 0) {
        file.fail();
        file.error_ = dir.string() + ": " + file.error_;
        return file;
    }
    // Gone from the directory at once: the data lives as long as the
    // descriptor, and nothing is left behind however the process ends.
    ::unlink(name.c_str());
    ::fcntl(opened, F_SETFD, FD_CLOEXEC);
    file.handle_ = opened;
    file.owned_ = true;
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
