#include "io/output_checks_platform.h"

#include <filesystem>

#include <windows.h>

namespace sentiment::platform {

namespace {

std::wstring wide(const std::string& path) { return std::filesystem::u8path(path).wstring(); }

std::optional<FileId> id_of(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info)) return std::nullopt;
    return FileId{info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

HANDLE open_for_attributes(const std::string& path, bool follow_links) {
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    return CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, flags, nullptr);
}

// A folder or a device (NUL, CON, COM1...: names that open one wherever
// they are), as the open handle shows it; nothing for a file on a disk.
std::optional<Kind> kind_of(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(h) != FILE_TYPE_DISK) return Kind{"a device", "设备"};
    if (GetFileInformationByHandle(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return Kind{"a folder", "文件夹"};
    return std::nullopt;
}

// Windows drops trailing dots and spaces from a name.
std::wstring as_windows_keeps_it(std::wstring name) {
    const std::size_t end = name.find_last_not_of(L". ");
    if (end != std::wstring::npos) name.erase(end + 1);
    return name;
}

}  // namespace

std::optional<FileId> identity(const std::string& path, bool follow_links) {
    HANDLE h = open_for_attributes(path, follow_links);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    const std::optional<FileId> id = id_of(h);
    CloseHandle(h);
    return id;
}

std::optional<FileId> stream_file(StandardStream stream) {
    HANDLE h = GetStdHandle(stream == StandardStream::Input    ? STD_INPUT_HANDLE
                            : stream == StandardStream::Output ? STD_OUTPUT_HANDLE
                                                               : STD_ERROR_HANDLE);
    if (h == nullptr || h == INVALID_HANDLE_VALUE || GetFileType(h) != FILE_TYPE_DISK) return std::nullopt;
    return id_of(h);
}

bool same_entry_name(const std::string& a, const std::string& b) {
    const std::wstring x = as_windows_keeps_it(wide(a)), y = as_windows_keeps_it(wide(b));
    // The comparison Windows recommends for file names: ordinal, ignoring case.
    return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(), static_cast<int>(y.size()), TRUE) ==
           CSTR_EQUAL;
}

std::optional<Kind> unwritable_kind(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    const bool link = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    HANDLE h = open_for_attributes(path, link);  // a link: what it leads to
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;  // nothing there yet, or the write will say why
    std::optional<Kind> kind = kind_of(h);
    CloseHandle(h);
    if (kind) kind->linked = link;
    return kind;
}

}  // namespace sentiment::platform
