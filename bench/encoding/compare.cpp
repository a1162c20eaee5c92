// Our encoding detector against ICU's (ucsdet) on samples of the shared
// corpora saved in the encodings users' files come in. A guess is right
// when decoding with it gives back the original text; a refusal is safe but
// not right, except for damaged UTF-8, where it is the right answer (ICU
// cannot refuse: for it, UTF-8 counts as right there).
#include <unicode/ucnv.h>
#include <unicode/ucsdet.h>
#include <unicode/ustring.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "text/errors.h"
#include "text/text_decoder.h"

using namespace sentiment;

namespace {

std::vector<std::string> read_lines_of(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Converts between UTF-8 and a named charset with ICU; empty optional-like
// flag when a character cannot be represented.
bool convert(const char* to, const char* from, const std::string& in, std::string& out) {
    UErrorCode status = U_ZERO_ERROR;
    std::vector<char> buffer(in.size() * 4 + 16);
    UConverter* target = ucnv_open(to, &status);
    UConverter* source = ucnv_open(from, &status);
    ucnv_setFromUCallBack(target, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setToUCallBack(source, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    char* dst = buffer.data();
    const char* src = in.data();
    if (U_SUCCESS(status))
        ucnv_convertEx(target, source, &dst, buffer.data() + buffer.size(), &src, in.data() + in.size(), nullptr,
                       nullptr, nullptr, nullptr, true, true, &status);
    ucnv_close(target);
    ucnv_close(source);
    if (U_FAILURE(status)) return false;
    out.assign(buffer.data(), dst);
    return true;
}

struct Tally {
    int right = 0, refused = 0, garbled = 0;
};

std::string ours(const std::string& bytes, bool& refused) {
    refused = false;
    try {
        return decode_text(bytes, "sample.txt");
    } catch (const Error&) {
        refused = true;
        return {};
    }
}

std::string icu_guess(UCharsetDetector* det, const std::string& bytes, std::string& name) {
    UErrorCode status = U_ZERO_ERROR;
    ucsdet_setText(det, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    const UCharsetMatch* match = ucsdet_detect(det, &status);
    name = match && U_SUCCESS(status) ? ucsdet_getName(match, &status) : "none";
    std::string text;
    // ICU's own converter decodes with its own guess; substitutions are kept.
    UErrorCode s = U_ZERO_ERROR;
    UConverter* c = ucnv_open(name.c_str(), &s);
    if (U_FAILURE(s)) return "";
    std::vector<UChar> wide(bytes.size() + 16);
    int32_t n = ucnv_toUChars(c, wide.data(), static_cast<int32_t>(wide.size()), bytes.data(),
                              static_cast<int32_t>(bytes.size()), &s);
    ucnv_close(c);
    std::vector<char> utf8(static_cast<std::size_t>(n) * 4 + 16);
    int32_t m = 0;
    u_strToUTF8(utf8.data(), static_cast<int32_t>(utf8.size()), &m, wide.data(), n, &s);
    if (U_FAILURE(s)) return "";
    text.assign(utf8.data(), static_cast<std::size_t>(m));
    // A leading BOM is not part of the text.
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string data = argc > 1 ? argv[1] : "../shared/data";
    const std::map<std::string, std::vector<std::string>> corpora = {
        {"movie-en", read_lines_of(data + "/movie-sentences-en/test/reviews.txt")},
        {"takeout-zh", read_lines_of(data + "/takeout-reviews-zh/test/reviews.txt")},
        {"imdb-en", read_lines_of(data + "/imdb-reviews-en/test/reviews.txt")},
    };
    std::mt19937 random(11);
    UErrorCode status = U_ZERO_ERROR;
    UCharsetDetector* det = ucsdet_open(&status);

    // Variant: name, which corpora, and how to make the bytes from UTF-8 text.
    struct Variant {
        const char* name;
        bool zh;  // Chinese corpus (else the English ones)
        bool damaged;
        std::function<bool(std::string&, std::string&)> make;  // text -> bytes; false: skip
    };
    auto encode = [](const char* charset) {
        return [charset](std::string& text, std::string& bytes) { return convert(charset, "UTF-8", text, bytes); };
    };
    const std::vector<Variant> variants = {
        {"UTF-8", false, false, [](std::string& t, std::string& b) { b = t; return true; }},
        {"UTF-8", true, false, [](std::string& t, std::string& b) { b = t; return true; }},
        {"GBK", true, false, encode("GBK")},
        {"UTF-16LE, no BOM", true, false, encode("UTF-16LE")},
        {"UTF-16LE, no BOM", false, false, encode("UTF-16LE")},
        {"Windows-1252", false, false,
         [](std::string& t, std::string& b) {
             // Word processors type ’ for ', the case that garbled.
             std::string curly;
             for (char c : t) curly += c == '\'' ? std::string("\xE2\x80\x99") : std::string(1, c);
             t = curly;
             return t.find("\xE2\x80\x99") != std::string::npos && convert("windows-1252", "UTF-8", t, b);
         }},
        {"damaged UTF-8", true, true,
         [&random](std::string& t, std::string& b) {
             b = t;
             std::vector<std::size_t> high;
             for (std::size_t i = 0; i < b.size(); ++i)
                 if (static_cast<unsigned char>(b[i]) >= 0xC0) high.push_back(i);
             if (high.empty()) return false;
             b[high[random() % high.size()]] = '\x92';  // one lead byte lost
             return true;
         }},
    };
    std::printf("%-18s %-10s %5s %7s | %-28s | %-28s\n", "saved as", "corpus", "lines", "samples",
                "ours: right refused garbled", "ICU: right garbled");
    Tally total_ours, total_icu;
    for (const Variant& v : variants) {
        for (const auto& [corpus, lines] : corpora) {
            if ((corpus == "takeout-zh") != v.zh || lines.empty()) continue;
            for (int per_sample : {1, 10}) {
                Tally o, i;
                int samples = 0;
                for (int attempt = 0; attempt < 4000 && samples < 300; ++attempt) {
                    std::size_t start = random() % lines.size();
                    std::string text;
                    for (int k = 0; k < per_sample && start + k < lines.size(); ++k) text += lines[start + k] + "\n";
                    std::string bytes;
                    if (!v.make(text, bytes) || (bytes == text && v.name != std::string("UTF-8"))) continue;
                    ++samples;
                    bool refused = false;
                    std::string mine = ours(bytes, refused);
                    static const bool verbose = std::getenv("VERBOSE") != nullptr;
                    if (verbose && !(v.damaged ? refused : (!refused && mine == text))) {
                        std::string why;
                        try {
                            why = encoding_name(detect_encoding(bytes, "sample.txt"));
                        } catch (const Error& e) {
                            why = e.what();
                        }
                        std::printf("  %s %s: %s\n    %s\n", v.name, corpus.c_str(), why.c_str(), text.substr(0, 200).c_str());
                    }
                    if (v.damaged ? refused : (!refused && mine == text)) ++o.right;
                    else if (refused) ++o.refused;
                    else ++o.garbled;
                    std::string name;
                    std::string theirs = icu_guess(det, bytes, name);
                    if (v.damaged ? name == "UTF-8" : theirs == text) ++i.right;
                    else ++i.garbled;
                }
                std::printf("%-18s %-10s %5d %7d | %9d %7d %7d    | %9d %7d\n", v.name, corpus.c_str(), per_sample,
                            samples, o.right, o.refused, o.garbled, i.right, i.garbled);
                total_ours.right += o.right, total_ours.refused += o.refused, total_ours.garbled += o.garbled;
                total_icu.right += i.right, total_icu.garbled += i.garbled;
            }
        }
    }
    std::printf("%-18s %-10s %5s %7s | %9d %7d %7d    | %9d %7d\n", "all", "", "", "", total_ours.right,
                total_ours.refused, total_ours.garbled, total_icu.right, total_icu.garbled);
    ucsdet_close(det);
}
