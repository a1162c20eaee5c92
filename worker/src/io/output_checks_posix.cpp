#include "io/output_checks_platform.h"

#include <sys/stat.h>

namespace sentiment::platform {

namespace {

std::optional<FileId> id_of(const struct stat& st) {
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

Kind kind_of(mode_t mode) {
    if (S_ISDIR(mode)) return Kind{"a directory", "目录"};
    if (S_ISFIFO(mode)) return Kind{"a pipe (FIFO)", "管道（FIFO）"};
    if (S_ISSOCK(mode)) return Kind{"a socket", "套接字"};
    return Kind{"a device", "设备"};
}

}  // namespace

std::optional<FileId> identity(const std::string& path, bool follow_links) {
    struct stat st{};
    if ((follow_links ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) return std::nullopt;
    return id_of(st);
}

std::optional<FileId> stream_file(StandardStream stream) {
    struct stat st{};
    const int fd = stream == StandardStream::Input ? 0 : stream == StandardStream::Output ? 1 : 2;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return id_of(st);
}

bool same_entry_name(const std::string& a, const std::string& b) { return a == b; }

std::optional<Kind> unwritable_kind(const std::string& path) {
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;  // nothing there yet, or the write will say why
    if (S_ISREG(st.st_mode)) return std::nullopt;
    if (S_ISLNK(st.st_mode)) {
        // Replacing a link to a device or pipe would take the system's own
        // (/dev/stdout is one): only links to regular files, or to nothing,
        // are replaced.
        if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return std::nullopt;
        Kind kind = kind_of(st.st_mode);
        kind.linked = true;
        return kind;
    }
    return kind_of(st.st_mode);
}

}  // namespace sentiment::platform
