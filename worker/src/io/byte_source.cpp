#include "io/byte_source.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "io/file_handle.h"
#include "io/standard_streams.h"
#include "text/errors.h"

namespace sentiment {

namespace fs = std::filesystem;

namespace {

// Standard input is copied in pieces of this size.
constexpr std::size_t kCopyChunk = std::size_t{1} << 20;

[[noreturn]] void cannot_open(const std::string& name) {
    throw Error(name + ": cannot open the file (does it exist and can it be read?)",
                name + "：无法打开文件（文件是否存在、是否可读？）");
}

[[noreturn]] void read_error(const std::string& name, const std::string& why = {}) {
    const std::string reason = why.empty() ? "" : " (" + why + ")";
    const std::string reason_zh = why.empty() ? "" : "（" + why + "）";
    throw Error(name + ": read error" + reason, name + "：读取出错" + reason_zh);
}

// Opens a file for binary reading. Every reader settles the encoding with a
// first read and starts every pass over, so a pipe or device, which cannot be
// read twice, would come out empty: those are refused.
std::ifstream open_regular(const fs::path& p, const std::string& display_name) {
    std::error_code ec;
    if (fs::is_directory(p, ec)) cannot_open(display_name);
    if (fs::exists(p, ec) && !fs::is_regular_file(p, ec))
        throw Error(display_name + ": not a regular file (pipes and devices cannot be read twice; give - to read "
                                   "standard input)",
                    display_name + "：不是普通文件（管道和设备无法重复读取；用 - 读取标准输入）");
    std::ifstream f(p, std::ios::binary);
    if (!f) cannot_open(display_name);
    return f;
}

class FileSource : public ByteSource {
public:
    FileSource(const std::string& path, std::string name) : name_(std::move(name)) {
        // Names such as 计数.txt must reach Windows as Unicode, not the ANSI page.
        const fs::path p = fs::u8path(path);
        file_ = open_regular(p, name_);
        std::error_code ec;
        size_ = fs::file_size(p, ec);
        if (ec) size_ = 0;
    }
    std::size_t read(char* dst, std::size_t want) override {
        file_.read(dst, static_cast<std::streamsize>(want));
        const auto got = static_cast<std::size_t>(file_.gcount());
        if (got < want && file_.bad()) read_error(name_);
        return got;
    }
    void rewind() override {
        file_.clear();
        file_.seekg(0);
    }
    std::uint64_t size() const override { return size_; }

private:
    std::string name_;
    std::ifstream file_;
    std::uint64_t size_ = 0;
};

class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    std::size_t read(char* dst, std::size_t want) override {
        const std::size_t got = std::min(want, bytes_.size() - at_);
        std::copy_n(bytes_.data() + at_, got, dst);
        at_ += got;
        return got;
    }
    void rewind() override { at_ = 0; }
    std::uint64_t size() const override { return bytes_.size(); }

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

// The copy of standard input, read back as often as needed.
class CopySource : public ByteSource {
public:
    CopySource(FileHandle file, std::uint64_t size, std::string name)
        : file_(std::move(file)), size_(size), name_(std::move(name)) {}
    std::size_t read(char* dst, std::size_t want) override {
        const std::ptrdiff_t got = file_.read_some(dst, want);
        if (got < 0) read_error(name_, file_.error());
        return static_cast<std::size_t>(got);
    }
    void rewind() override {
        if (!file_.rewind()) read_error(name_, file_.error());
    }
    std::uint64_t size() const override { return size_; }

private:
    FileHandle file_;
    std::uint64_t size_;
    std::string name_;
};

[[noreturn]] void cannot_copy(const std::string& name, const std::string& why) {
    throw Error(name + ": cannot keep a copy of standard input in the temporary directory (" + why +
                    "); set TMPDIR (TMP on Windows) to a directory with room",
                name + "：无法在临时目录中保存标准输入的副本（" + why + "）；请把 TMPDIR（Windows 上为 TMP）设为有空间的目录");
}

}  // namespace

std::unique_ptr<ByteSource> copy_standard_input(const std::string& display_name) {
    FileHandle copy = FileHandle::create_scratch();
    if (!copy.valid()) cannot_copy(display_name, copy.error());
    FileHandle input = FileHandle::standard(StandardStream::Input);
    std::vector<char> chunk(kCopyChunk);
    std::uint64_t size = 0;
    for (;;) {
        const std::ptrdiff_t got = input.read_some(chunk.data(), chunk.size());
        if (got < 0) read_error(display_name, input.error());
        if (got == 0) break;
        if (!copy.write_all(std::string_view(chunk.data(), static_cast<std::size_t>(got))))
            cannot_copy(display_name, copy.error());
        size += static_cast<std::uint64_t>(got);
    }
    if (!copy.rewind()) cannot_copy(display_name, copy.error());
    return std::make_unique<CopySource>(std::move(copy), size, display_name);
}

std::unique_ptr<ByteSource> open_input(const std::string& path, const std::string& display_name) {
    if (names_standard_input(path)) return copy_standard_input(display_name);
    return std::make_unique<FileSource>(path, display_name);
}

std::unique_ptr<ByteSource> memory_source(std::string_view bytes) { return std::make_unique<MemorySource>(bytes); }

std::ifstream open_regular_file(const std::string& path, const std::string& display_name) {
    return open_regular(fs::u8path(path), display_name);
}

std::string read_file(const std::string& path, const std::string& display_name) {
    FileSource file(path, display_name);
    std::string data;
    if (file.size() < (std::uint64_t{1} << 32)) data.reserve(static_cast<std::size_t>(file.size()));
    char chunk[1 << 16];
    while (const std::size_t got = file.read(chunk, sizeof chunk)) data.append(chunk, got);
    return data;
}

}  // namespace sentiment
