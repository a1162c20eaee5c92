#include "atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include <process.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "errors.h"

namespace sentiment {

namespace {

std::atomic<unsigned> counter{0};

[[noreturn]] void cannot_write(const std::string& name, const std::string& why) {
    throw Error(name + ": cannot write the file (" + why + ")", name + "：无法写入文件（" + why + "）");
}

#ifndef _WIN32
bool write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}
#endif

}  // namespace

void write_file_atomically(const std::string& path, std::string_view data, const std::string& display_name,
                           bool durable) {
    namespace fs = std::filesystem;
    fs::path target = fs::u8path(path);
#ifdef _WIN32
    int pid = _getpid();
#else
    int pid = static_cast<int>(::getpid());
#endif
    fs::path temp = target;
    temp += fs::u8path(".tmp-" + std::to_string(pid) + "-" + std::to_string(counter++));
#ifdef _WIN32
    (void)durable;
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) cannot_write(display_name, "cannot create a temporary file next to it");
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        out.close();
        if (!out) {
            std::error_code ec;
            fs::remove(temp, ec);
            cannot_write(display_name, "disk full?");
        }
    }
#else
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) cannot_write(display_name, std::strerror(errno));
    bool ok = write_all(fd, data) && (!durable || ::fsync(fd) == 0);
    int saved = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        cannot_write(display_name, std::strerror(saved));
    }
#endif
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        cannot_write(display_name, ec.message());
    }
}

}  // namespace sentiment
