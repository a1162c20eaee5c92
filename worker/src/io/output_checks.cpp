#include "io/output_checks.h"

#include <cstdint>
#include <filesystem>
#include <optional>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "text/errors.h"

namespace sentiment {

namespace {

struct FileId {
    std::uint64_t device = 0, index = 0;
    bool operator==(const FileId& o) const { return device == o.device && index == o.index; }
};

// The identity of the file a path names; an output's own link is looked at,
// not its target, because the write replaces the link. Nothing when the path
// names nothing (yet).
std::optional<FileId> identity(const std::string& path, bool follow_links) {
#ifdef _WIN32
    const std::wstring wide = std::filesystem::u8path(path).wstring();
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (!ok) return std::nullopt;
    return FileId{info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
#else
    struct stat st{};
    if ((follow_links ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) return std::nullopt;
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
#endif
}

[[noreturn]] void refuse_kind(const std::string& name, const std::string& en, const std::string& zh) {
    throw Error(name + ": cannot be written as an output, it is " + en + "; give the name of a regular file",
                name + "：不能作为输出文件，它是" + zh + "；请指定一个普通文件名");
}

}  // namespace

void check_output_kind(const std::string& path, const std::string& display_name) {
    if (path.empty())
        throw Error("an output file name is empty; give the name of a regular file", "输出文件名为空；请指定一个普通文件名");
#ifdef _WIN32
    const std::wstring wide = std::filesystem::u8path(path).wstring();
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        refuse_kind(display_name, "a folder", "文件夹");
    // NUL, CON, COM1...: names that open a device wherever they are.
    HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        const DWORD type = GetFileType(h);
        CloseHandle(h);
        if (type != FILE_TYPE_DISK) refuse_kind(display_name, "a device", "设备");
    }
#else
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0) return;  // nothing there yet, or the write will say why
    if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) return;
    if (S_ISDIR(st.st_mode)) refuse_kind(display_name, "a directory", "目录");
    if (S_ISFIFO(st.st_mode)) refuse_kind(display_name, "a pipe (FIFO)", "管道（FIFO）");
    if (S_ISSOCK(st.st_mode)) refuse_kind(display_name, "a socket", "套接字");
    refuse_kind(display_name, "a device", "设备");
#endif
}

void check_run_files(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs) {
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const auto id = identity(inputs[i], true);
        for (std::size_t j = 0; id && j < i; ++j)
            if (identity(inputs[j], true) == id)
                throw Error(inputs[j] + " and " + inputs[i] + " are the same file; each needs a file of its own "
                                "(was one file chosen for both?)",
                            inputs[j] + " 与 " + inputs[i] + " 是同一个文件；二者需要各自的文件（是否同一个文件选了两次？）");
    }
    for (std::size_t o = 0; o < outputs.size(); ++o) {
        check_output_kind(outputs[o], outputs[o]);
        const auto out_id = identity(outputs[o], false);
        for (const std::string& input : inputs) {
            // An atomic write through the output's name replaces that entry:
            // refuse when the entry is the input's file, or the very link
            // the input is read through.
            const bool same = out_id && (identity(input, true) == out_id || identity(input, false) == out_id);
            if (same)
                throw Error(outputs[o] + ": this output is the same file as the input " + input +
                                "; writing it would destroy that input (was a file name given to the wrong option?)",
                            outputs[o] + "：这个输出文件与输入文件 " + input +
                                " 是同一个文件，写入会毁掉输入（是否把文件名填错了选项？）");
        }
        for (std::size_t p = 0; p < o; ++p) {
            const auto other = identity(outputs[p], false);
            const bool same = (out_id && other) ? *out_id == *other
                                                : std::filesystem::u8path(outputs[o]).lexically_normal() ==
                                                      std::filesystem::u8path(outputs[p]).lexically_normal();
            if (same)
                throw Error(outputs[o] + " and " + outputs[p] +
                                " are the same file; each output needs a name of its own",
                            outputs[o] + " 与 " + outputs[p] + " 是同一个文件；每个输出文件需要各自的文件名");
        }
    }
}

}  // namespace sentiment
