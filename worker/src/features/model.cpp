#include "features/model.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "io/atomic_file.h"
#include "io/line_reader.h"
#include "text/errors.h"

namespace sentiment {

double Model::score(const std::vector<std::uint32_t>& ids) const {
    double s = bias;
    for (std::uint32_t id : ids) s += weights[id];
    return s;
}

double Model::probability(const std::vector<std::uint32_t>& ids) const {
    return sigmoid(score(ids));
}

namespace {

constexpr std::size_t kHeaderSize = 8 + 4 + 4 + 4 + 4;  // magic, version, options, bias, count
constexpr std::size_t kChecksumSize = 8;
constexpr std::size_t kInfoHeaderSize = 4;  // the record's length
constexpr std::size_t kEntrySize = 8;

void put_u32(std::string& out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out += static_cast<char>((v >> (8 * k)) & 0xFF);
}
void put_u64(std::string& out, std::uint64_t v) {
    for (int k = 0; k < 8; ++k) out += static_cast<char>((v >> (8 * k)) & 0xFF);
}
void put_f32(std::string& out, float f) {
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    put_u32(out, v);
}
std::uint32_t get_u32(const char* p) {
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(p[k])) << (8 * k);
    return v;
}
std::uint64_t get_u64(const char* p) {
    std::uint64_t v = 0;
    for (int k = 0; k < 8; ++k) v |= static_cast<std::uint64_t>(static_cast<unsigned char>(p[k])) << (8 * k);
    return v;
}
float get_f32(const char* p) {
    std::uint32_t v = get_u32(p);
    float f;
    std::memcpy(&f, &v, 4);
    return f;
}

[[noreturn]] void damaged(std::string_view name, const std::string& en, const std::string& zh) {
    std::string n(name);
    throw Error(n + ": not a usable model file: " + en + "; train again to make a new one",
                n + "：模型文件不可用：" + zh + "；请重新训练生成新模型");
}

}  // namespace

std::string serialize_model(const Model& model) {
    std::string out(kModelMagic, 8);
    put_u32(out, model.info ? kModelWithInfo : kModelWeightsOnly);
    out += static_cast<char>(model.features.bits);
    out += static_cast<char>(model.features.ngrams);
    out += static_cast<char>(model.features.char_min);
    out += static_cast<char>(model.features.char_max);
    put_f32(out, model.bias);
    std::uint32_t count = 0;
    for (float w : model.weights) count += w != 0.0f;
    put_u32(out, count);
    out.reserve(out.size() + std::size_t{count} * kEntrySize + kChecksumSize);
    for (std::size_t i = 0; i < model.weights.size(); ++i) {
        if (model.weights[i] == 0.0f) continue;
        put_u32(out, static_cast<std::uint32_t>(i));
        put_f32(out, model.weights[i]);
    }
    put_u64(out, XXH64(out.data(), out.size(), 0));
    if (!model.info) return out;
    const std::string text = serialize_info(*model.info);
    const std::size_t block = out.size();
    put_u32(out, static_cast<std::uint32_t>(text.size()));
    out += text;
    put_u64(out, XXH64(out.data() + block, out.size() - block, 0));
    return out;
}

namespace {

struct Layout {
    std::uint32_t version = 0;
    std::uint32_t count = 0;        // weights
    std::uint64_t weights_end = 0;  // where the weights' checksum ends
};

// Format 1 ends with its weights; format 2 has room after them for its
// record, which parse_model measures exactly.
void check_size(const Layout& l, std::uint64_t size, std::string_view name) {
    const std::uint64_t least = l.weights_end + (l.version == kModelWithInfo ? kInfoHeaderSize + kChecksumSize : 0);
    const std::uint64_t most = l.version == kModelWithInfo ? least + kMaxInfoBytes : least;
    if (size >= least && size <= most) return;
    const std::string to_en = least == most ? "" : " to " + std::to_string(most);
    const std::string to_zh = least == most ? "" : " 到 " + std::to_string(most);
    damaged(name, "expected " + std::to_string(least) + to_en + " bytes, found " + std::to_string(size),
            "应为 " + std::to_string(least) + to_zh + " 字节，实际 " + std::to_string(size) + " 字节");
}

// Checks what the first kHeaderSize bytes and the file's size say, so that a
// foreign or damaged file is refused before the rest of it is read.
Layout check_header(std::string_view head, std::uint64_t size, std::string_view name) {
    std::string_view magic(kModelMagic, 8);
    if (head.substr(0, 8) != magic.substr(0, std::min<std::size_t>(8, head.size())) || head.empty())
        damaged(name, "expected a file starting with " + quoted(magic) + ", found " + quoted(head.substr(0, 8)),
                "文件开头应为 " + quoted(magic) + "，实际为 " + quoted(head.substr(0, 8)));
    if (size < 12)
        damaged(name, "file is truncated (" + std::to_string(size) + " bytes)",
                "文件不完整（仅 " + std::to_string(size) + " 字节）");
    Layout l;
    l.version = get_u32(head.data() + 8);
    if (l.version != kModelWeightsOnly && l.version != kModelWithInfo)
        damaged(name, "format version " + std::to_string(l.version) + ", expected version 1 or 2",
                "格式版本为 " + std::to_string(l.version) + "，本程序需要版本 1 或 2");
    if (size < kHeaderSize + kChecksumSize)
        damaged(name, "file is truncated (" + std::to_string(size) + " bytes, the header alone needs " +
                          std::to_string(kHeaderSize + kChecksumSize) + ")",
                "文件不完整（" + std::to_string(size) + " 字节，仅文件头就需要 " +
                    std::to_string(kHeaderSize + kChecksumSize) + " 字节）");
    l.count = get_u32(head.data() + 20);
    std::uint64_t room = (size - kHeaderSize - kChecksumSize) / kEntrySize;
    if (l.count > room)
        damaged(name, "file is truncated (it announces " + std::to_string(l.count) + " weights but holds at most " +
                          std::to_string(room) + ")",
                "文件不完整（声明 " + std::to_string(l.count) + " 个权重，实际最多 " + std::to_string(room) + " 个）");
    if (l.count > (std::uint32_t{1} << kMaxBits))
        damaged(name, "it announces " + std::to_string(l.count) + " weights, more than any model has",
                "声明 " + std::to_string(l.count) + " 个权重，超过任何模型的上限");
    l.weights_end = kHeaderSize + std::uint64_t{l.count} * kEntrySize + kChecksumSize;
    check_size(l, size, name);
    return l;
}

// The training record after the weights of a format 2 file.
ModelInfo parse_info_block(std::string_view bytes, std::uint64_t start, std::string_view name) {
    const std::uint32_t length = get_u32(bytes.data() + start);
    const std::uint64_t end = start + kInfoHeaderSize + length;
    if (end + kChecksumSize != bytes.size())
        damaged(name, "its record of training announces " + std::to_string(length) + " bytes, but " +
                          std::to_string(bytes.size() - start - kInfoHeaderSize - kChecksumSize) + " are there",
                "训练记录声明 " + std::to_string(length) + " 字节，实际为 " +
                    std::to_string(bytes.size() - start - kInfoHeaderSize - kChecksumSize) + " 字节");
    if (XXH64(bytes.data() + start, end - start, 0) != get_u64(bytes.data() + end))
        damaged(name, "checksum mismatch in its record of training (the file is damaged)", "训练记录校验和不符（文件已损坏）");
    return parse_info(bytes.substr(start + kInfoHeaderSize, length), name);
}

}  // namespace

Model parse_model(std::string_view bytes, std::string_view name) {
    const Layout layout = check_header(bytes, bytes.size(), name);
    const std::uint32_t count = layout.count;
    const std::size_t weights_end = static_cast<std::size_t>(layout.weights_end);
    const char* p = bytes.data();
    if (XXH64(p, weights_end - kChecksumSize, 0) != get_u64(p + weights_end - kChecksumSize))
        damaged(name, "checksum mismatch (the file is damaged)", "校验和不符（文件已损坏）");

    Model m;
    m.features.bits = static_cast<std::uint8_t>(p[12]);
    m.features.ngrams = static_cast<std::uint8_t>(p[13]);
    m.features.char_min = static_cast<std::uint8_t>(p[14]);
    m.features.char_max = static_cast<std::uint8_t>(p[15]);
    const auto& f = m.features;
    try {
        check_feature_options(f);
    } catch (const Error& e) {
        damaged(name, "feature settings out of range (" + e.english() + ")", "特征设置超出范围（" + e.chinese() + "）");
    }
    m.bias = get_f32(p + 16);
    if (!std::isfinite(m.bias)) damaged(name, "bias is not a finite number", "偏置不是有限数");
    const std::size_t buckets = std::size_t{1} << f.bits;
    if (count > buckets) damaged(name, "more weights than buckets", "权重个数多于哈希桶个数");
    m.weights.assign(buckets, 0.0f);
    std::int64_t previous = -1;
    for (std::uint32_t k = 0; k < count; ++k) {
        const char* e = p + kHeaderSize + std::size_t{k} * kEntrySize;
        std::uint32_t index = get_u32(e);
        float w = get_f32(e + 4);
        if (index >= buckets || static_cast<std::int64_t>(index) <= previous || !std::isfinite(w))
            damaged(name, "weight entry " + std::to_string(k) + " is invalid", "第 " + std::to_string(k) + " 个权重无效");
        previous = index;
        m.weights[index] = w;
    }
    if (layout.version == kModelWithInfo) m.info = parse_info_block(bytes, weights_end, name);
    return m;
}

Model load_model(const std::string& path, const std::string& display_name) {
    std::ifstream file = open_regular_file(path, display_name);
    std::error_code ec;
    const std::uint64_t size = std::filesystem::file_size(std::filesystem::u8path(path), ec);
    if (ec) throw Error(display_name + ": read error", display_name + "：读取出错");
    std::string bytes(static_cast<std::size_t>(std::min<std::uint64_t>(size, kHeaderSize)), '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    check_header(bytes, size, display_name);
    try {
        bytes.resize(static_cast<std::size_t>(size));
        file.read(bytes.data() + kHeaderSize, static_cast<std::streamsize>(size - kHeaderSize));
        if (static_cast<std::uint64_t>(file.gcount()) != size - kHeaderSize)
            throw Error(display_name + ": read error (the file changed while it was read?)",
                        display_name + "：读取出错（文件是否在读取时被改动？）");
        return parse_model(bytes, display_name);
    } catch (const std::bad_alloc&) {
        const std::string mib = std::to_string((size >> 20) + 1);
        throw Error(display_name + ": not enough memory to load the model (about " + mib + " MiB)",
                    display_name + "：内存不足，无法载入模型（约 " + mib + " MiB）");
    }
}

void save_model(const Model& model, const std::string& path, const std::string& display_name) {
    write_file_atomically(path, serialize_model(model), display_name, true);
}

}  // namespace sentiment
