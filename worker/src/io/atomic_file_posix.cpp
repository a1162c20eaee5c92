#include "io/atomic_file_platform.h"

#include <cerrno>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sentiment::platform {

namespace fs = std::filesystem;

namespace {

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

}  // namespace

unsigned long current_pid() { return static_cast<unsigned long>(::getpid()); }

bool process_alive(unsigned long pid) {
    if (pid == 0 || pid > static_cast<unsigned long>(std::numeric_limits<pid_t>::max())) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

bool owned_by_this_user(const fs::path& file) {
    struct stat st{};
    return ::lstat(file.c_str(), &st) == 0 && st.st_uid == ::geteuid();
}

void write_and_replace(const fs::path& target, std::string_view data, const std::string& display_name,
                       bool durable) {
    fs::path temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = target.parent_path() / temporary_name(target.filename().string());
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) cannot_write(display_name, std::strerror(errno));
    }
    if (fd < 0) cannot_write(display_name, "no free temporary file name");
    bool ok = write_all(fd, data) && (!durable || ::fsync(fd) == 0);
    int saved = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        cannot_write(display_name, std::strerror(saved));
    }
}

void remove_entry(const fs::path& target, const std::string& display_name) {
    if (::unlink(target.c_str()) != 0 && errno != ENOENT) cannot_write(display_name, std::strerror(errno));
}

}  // namespace sentiment::platform
