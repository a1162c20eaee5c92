#include "text/iconv_to_utf8.h"

#include <cerrno>
#include <iconv.h>
#include <map>
#include <memory>

#include "text/errors.h"

namespace sentiment {

namespace {

// Opening a descriptor costs more than converting a piece: one per thread
// and encoding, opened on first use.
class Converter {
public:
    explicit Converter(const char* from) : cd_(iconv_open("UTF-8", from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

}  // namespace

std::size_t iconv_to_utf8(const char* from, const char* shown, std::string_view in, std::string& out) {
    thread_local std::map<std::string, std::unique_ptr<Converter>> converters;
    auto& converter = converters[from];
    if (!converter) converter = std::make_unique<Converter>(from);
    if (!converter->ok())
        throw Error(std::string("the system cannot convert from ") + shown + " (iconv_open failed)",
                    std::string("系统无法转换 ") + shown + " 编码（iconv_open 失败）");
    iconv_t cd = converter->get();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char buffer[1 << 14];
    while (left > 0) {
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        std::size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        // E2BIG only means the buffer is full; EILSEQ and EINVAL (a character
        // cut short, which whole-character input cannot have) mean bad bytes.
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) return in.size() - left;
    }
    return std::string_view::npos;
}

}  // namespace sentiment
