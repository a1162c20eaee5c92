#include "io/output_checks_platform.h"

#include <sys/stat.h>

namespace sentiment::platform {

std::optional<FileId> identity(const std::string& path, bool follow_links) {
    struct stat st{};
    if ((follow_links ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) return std::nullopt;
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::optional<Kind> unwritable_kind(const std::string& path) {
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;  // nothing there yet, or the write will say why
    if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) return std::nullopt;
    if (S_ISDIR(st.st_mode)) return Kind{"a directory", "目录"};
    if (S_ISFIFO(st.st_mode)) return Kind{"a pipe (FIFO)", "管道（FIFO）"};
    if (S_ISSOCK(st.st_mode)) return Kind{"a socket", "套接字"};
    return Kind{"a device", "设备"};
}

}  // namespace sentiment::platform
