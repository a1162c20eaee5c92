#include "io/atomic_file_platform.h"

#include <cerrno>
#include <cstring>
#include <limits>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sentiment::platform {

namespace fs = std::filesystem;

unsigned long current_pid() { return static_cast<unsigned long>(::getpid()); }

bool process_alive(unsigned long pid) {
    if (pid == 0 || pid > static_cast<unsigned long>(std::numeric_limits<pid_t>::max())) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

bool owned_by_this_user(const fs::path& file) {
    struct stat st{};
    return ::lstat(file.c_str(), &st) == 0 && st.st_uid == ::geteuid();
}

std::string replace(const fs::path& temp, const fs::path& target) {
    return ::rename(temp.c_str(), target.c_str()) == 0 ? std::string() : std::strerror(errno);
}

void remove_entry(const fs::path& target, const std::string& display_name) {
    if (::unlink(target.c_str()) != 0 && errno != ENOENT) cannot_write(display_name, std::strerror(errno));
}

}  // namespace sentiment::platform
