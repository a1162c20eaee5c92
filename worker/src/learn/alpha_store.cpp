#include "learn/alpha_store.h"

#include <filesystem>
#include <string_view>
#include <utility>

#include "io/atomic_file_platform.h"
#include "io/file_handle.h"
#include "io/temporary_names.h"
#include "text/errors.h"

namespace sentiment {

namespace fs = std::filesystem;

struct AlphaStore::Scratch {
    fs::path path;
    std::string shown;  // the directory, as messages name it
    FileHandle file;

    explicit Scratch(const std::string& dir) : shown(dir.empty() ? "." : dir) {
        const fs::path where = fs::u8path(shown);
        // A name taken by chance is tried again; anything else is an error.
        for (int attempt = 0; attempt < 16 && !file.valid(); ++attempt) {
            path = where / temporary_name(platform::current_pid());
            file = FileHandle::create_new(path);
            if (!file.valid() && !file.name_taken()) break;
        }
        if (!file.valid()) fail("cannot create", "无法创建");
    }
    ~Scratch() {
        file.close();
        std::error_code ignored;
        fs::remove(path, ignored);
    }
    [[noreturn]] void fail(const std::string& en, const std::string& zh) const {
        const std::string why = file.error().empty() ? "" : " (" + file.error() + ")";
        const std::string why_zh = file.error().empty() ? "" : "（" + file.error() + "）";
        throw Error(shown + ": " + en + " the temporary file that holds training's dual variables" + why,
                    shown + "：" + zh + "保存训练对偶变量的临时文件" + why_zh);
    }
};

AlphaStore::AlphaStore(std::size_t reviews, bool in_memory, const std::string& dir) : reviews_(reviews) {
    if (in_memory || reviews == 0) {
        memory_.assign(reviews, 0.0f);
        return;
    }
    files_[0] = std::make_unique<Scratch>(dir);
    files_[1] = std::make_unique<Scratch>(dir);
}

AlphaStore::~AlphaStore() = default;

void AlphaStore::start_pass() {
    if (!on_disk()) return;
    if (first_ > 0) {
        // The file just written is the one read next.
        std::swap(files_[0], files_[1]);
        written_ = true;
        first_ = 0;
    }
    for (auto& f : files_)
        if (!f->file.rewind()) f->fail("cannot rewind", "无法回到开头读写");
}

float* AlphaStore::load(std::size_t first, std::size_t count) {
    if (!on_disk()) return memory_.data() + first;
    first_ = first + count;
    block_.assign(count, 0.0f);
    if (!written_) return block_.data();
    char* at = reinterpret_cast<char*>(block_.data());
    std::size_t left = count * sizeof(float);
    while (left > 0) {
        const std::ptrdiff_t got = files_[0]->file.read_some(at, left);
        if (got <= 0) files_[0]->fail(got < 0 ? "cannot read" : "found cut short", got < 0 ? "无法读取" : "发现被截短了");
        at += got;
        left -= std::size_t(got);
    }
    return block_.data();
}

void AlphaStore::store() {
    if (!on_disk()) return;
    const std::string_view bytes(reinterpret_cast<const char*>(block_.data()), block_.size() * sizeof(float));
    if (!files_[1]->file.write_all(bytes)) files_[1]->fail("cannot write", "无法写入");
}

}  // namespace sentiment
