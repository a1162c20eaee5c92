// Our encoding detector against ICU's (ucsdet) on samples of the shared
// corpora saved in the encodings users' files come in, and in those that
// must not be garbled: other Chinese, Japanese, Korean and Western code
// pages, mixed and damaged files. A guess is right when decoding with it
// gives back the original text; a refusal is safe but not right, except
// where refusing is the right answer: damaged or binary files (ICU cannot
// refuse: for it, UTF-8 counts as right there) and encodings the worker
// does not read (for ICU, right is reading them right).
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

// Short sentences in languages the corpora lack, for the code pages that
// carry them. Written for this benchmark.
const std::map<std::string, std::vector<std::string>> kSentences = {
    {"ja", {"この店のラーメンはとても美味しかったです。", "配達が遅くて、料理が冷めていました。", "また注文したいと思います。",
            "量が少なくて値段が高いです。", "店員さんの対応がとても良かった。", "味は普通ですが、早く届きました。",
            "二度と頼みません。残念です。", "スープが熱くて、麺もちょうど良い硬さでした。"}},
    {"ko", {"이 식당의 음식은 정말 맛있었어요.", "배달이 너무 늦어서 음식이 식었어요.", "다시 주문하고 싶어요.",
            "양이 적고 가격이 비싸요.", "직원이 아주 친절했습니다.", "맛은 보통인데 빨리 왔어요.", "다시는 시키지 않을 거예요.",
            "국물이 뜨겁고 면도 딱 좋았어요."}},
    {"pl", {"Jedzenie było bardzo smaczne, ale dostawa trwała zbyt długo.", "Zupa była zimna i bez smaku.",
            "Obsługa miła, ceny rozsądne, polecam każdemu.", "Nigdy więcej nie zamówię z tej restauracji.",
            "Pierogi świetne, ale sałatka źle przyprawiona.", "Kurier spóźnił się o godzinę."}},
    {"cs", {"Jídlo bylo výborné, ale doručení trvalo příliš dlouho.", "Polévka byla studená a bez chuti.",
            "Obsluha příjemná, ceny rozumné, doporučuji.", "Už nikdy si odsud nic neobjednám.",
            "Knedlíky skvělé, ale salát špatně ochucený."}},
    {"tr", {"Yemek çok güzeldi ama teslimat çok uzun sürdü.", "Çorba soğuktu ve tadı yoktu.",
            "Personel çok ilgiliydi, fiyatlar makul, herkese tavsiye ederim.", "Bir daha asla sipariş vermeyeceğim.",
            "Kebap harika ama salata kötüydü.", "Kurye bir saat geç geldi, teşekkürler!"}},
    {"fr", {"Le repas était délicieux, mais la livraison a pris trop de temps.", "La soupe était froide et sans goût.",
            "Service aimable, prix raisonnables, je recommande à tous.", "Je ne commanderai plus jamais ici, c'était décevant.",
            "Les crêpes étaient très bonnes, même si la salade était fade.", "Le livreur est arrivé avec une heure de retard."}},
    {"de", {"Das Essen war köstlich, aber die Lieferung dauerte zu lange.", "Die Suppe war kalt und fade.",
            "Freundlicher Service, faire Preise, ich empfehle es jedem.", "Ich werde hier nie wieder bestellen, schade.",
            "Die Knödel waren großartig, der Salat leider nicht.", "Der Fahrer kam eine Stunde zu spät, trotzdem schöne Grüße."}},
};

// What right means for a kind of sample.
enum class Expect {
    Text,     // the text read back exactly
    Damage,   // refused; for ICU, naming UTF-8
    Foreign,  // refused or read right; for ICU, reading it right
};

}  // namespace

int main(int argc, char** argv) {
    const std::string data = argc > 1 ? argv[1] : "../shared/data";
    std::map<std::string, std::vector<std::string>> corpora = {
        {"movie-en", read_lines_of(data + "/movie-sentences-en/test/reviews.txt")},
        {"takeout-zh", read_lines_of(data + "/takeout-reviews-zh/test/reviews.txt")},
        {"imdb-en", read_lines_of(data + "/imdb-reviews-en/test/reviews.txt")},
    };
    for (const auto& [lang, lines] : kSentences) corpora[lang] = lines;
    std::mt19937 random(11);
    UErrorCode status = U_ZERO_ERROR;
    UCharsetDetector* det = ucsdet_open(&status);

    // Variant: name, which corpora, what is right, and how to make the bytes
    // from UTF-8 text (which it may change).
    using Make = std::function<bool(std::string&, std::string&)>;
    struct Variant {
        const char* name;
        std::vector<std::string> corpora;
        Expect expect;
        Make make;  // text -> bytes; false: skip
    };
    auto encode = [](const char* charset) -> Make {
        return [charset](std::string& text, std::string& bytes) { return convert(charset, "UTF-8", text, bytes); };
    };
    auto with_mark = [](const char* charset, std::string mark) -> Make {
        return [charset, mark](std::string& text, std::string& bytes) {
            if (!convert(charset, "UTF-8", text, bytes)) return false;
            bytes.insert(0, mark);
            return true;
        };
    };
    // Bytes changed at a random place of a kind the text has.
    auto at_random = [&random](std::string& b, auto pick, const std::string& put, bool replace) {
        std::vector<std::size_t> at;
        for (std::size_t i = 0; i < b.size(); ++i)
            if (pick(static_cast<unsigned char>(b[i]))) at.push_back(i);
        if (at.empty()) return false;
        const std::size_t i = at[random() % at.size()];
        b.replace(i + (replace ? 0 : 1), replace ? 1 : 0, put);
        return true;
    };
    // Every line but the last in one encoding, the last in another.
    auto mixed = [](const char* first, const char* last) -> Make {
        return [first, last](std::string& t, std::string& b) {
            const std::size_t cut = t.rfind('\n', t.size() - 2);
            if (cut == std::string::npos) return false;
            std::string head, tail;
            if (!convert(first, "UTF-8", t.substr(0, cut + 1), head) || !convert(last, "UTF-8", t.substr(cut + 1), tail))
                return false;
            b = head + tail;
            return true;
        };
    };
    const std::vector<std::string> en = {"movie-en", "imdb-en"}, zh = {"takeout-zh"};
    const std::vector<Variant> variants = {
        {"UTF-8", en, Expect::Text, [](std::string& t, std::string& b) { b = t; return true; }},
        {"UTF-8", zh, Expect::Text, [](std::string& t, std::string& b) { b = t; return true; }},
        {"GBK", zh, Expect::Text, encode("GBK")},
        {"UTF-16LE, no BOM", zh, Expect::Text, encode("UTF-16LE")},
        {"UTF-16LE, no BOM", en, Expect::Text, encode("UTF-16LE")},
        {"Windows-1252", en, Expect::Text,
         [](std::string& t, std::string& b) {
             // Word processors type ’ for ', the case that garbled.
             std::string curly;
             for (char c : t) curly += c == '\'' ? std::string("\xE2\x80\x99") : std::string(1, c);
             t = curly;
             return t.find("\xE2\x80\x99") != std::string::npos && convert("windows-1252", "UTF-8", t, b);
         }},
        {"Windows-1252", {"fr", "de"}, Expect::Text, encode("windows-1252")},
        {"damaged UTF-8", zh, Expect::Damage,
         [&](std::string& t, std::string& b) {
             b = t;  // one lead byte lost
             return at_random(b, [](unsigned char c) { return c >= 0xC0; }, "\x92", true);
         }},
        // A zero byte after a line break, and zero padding at the end.
        {"NUL after a break", {"movie-en", "takeout-zh"}, Expect::Damage,
         [&](std::string& t, std::string& b) {
             b = t;
             return at_random(b, [](unsigned char c) { return c == '\n'; }, std::string(1, '\0'), false) &&
                    b.back() != '\0';
         }},
        {"NUL padding", {"movie-en", "takeout-zh"}, Expect::Damage,
         [](std::string& t, std::string& b) { b = t + std::string(16, '\0'); return true; }},
        {"Big5", zh, Expect::Text, encode("Big5")},
        {"Big5-HKSCS", zh, Expect::Foreign,
         [&](std::string& t, std::string& b) {
             // Cantonese characters only Hong Kong's additions have.
             static const char* const kHk[] = {"嘢", "咗", "哋", "冇", "嚟"};
             std::string hk = t;
             const std::size_t nl = hk.find('\n');
             hk.insert(nl == std::string::npos ? 0 : nl, kHk[random() % 5]);
             t = hk;
             return convert("Big5-HKSCS", "UTF-8", t, b);
         }},
        {"Shift-JIS", {"ja"}, Expect::Foreign, encode("Shift_JIS")},
        {"EUC-JP", {"ja"}, Expect::Foreign, encode("EUC-JP")},
        {"EUC-KR", {"ko"}, Expect::Foreign, encode("EUC-KR")},
        {"CP949", {"ko"}, Expect::Foreign, encode("windows-949")},
        {"UTF-32LE, BOM", {"takeout-zh", "movie-en"}, Expect::Text, with_mark("UTF-32LE", std::string("\xFF\xFE\0\0", 4))},
        {"UTF-32BE, BOM", {"takeout-zh", "movie-en"}, Expect::Text, with_mark("UTF-32BE", std::string("\0\0\xFE\xFF", 4))},
        {"UTF-32LE, no BOM", {"takeout-zh", "movie-en"}, Expect::Text, encode("UTF-32LE")},
        {"ISO-8859-2", {"pl", "cs"}, Expect::Foreign, encode("ISO-8859-2")},
        {"Windows-1254", {"tr"}, Expect::Foreign, encode("windows-1254")},
        {"ISO-8859-9", {"tr"}, Expect::Foreign, encode("ISO-8859-9")},
        {"Mac Roman", {"fr", "de"}, Expect::Foreign, encode("macintosh")},
        {"DOS 437", {"fr", "de"}, Expect::Foreign, encode("ibm-437")},
        {"DOS 850", {"fr", "de"}, Expect::Foreign, encode("ibm-850")},
        {"GBK + UTF-8 line", zh, Expect::Damage, mixed("GBK", "UTF-8")},
        {"UTF-8 + GBK line", zh, Expect::Damage, mixed("UTF-8", "GBK")},
        // Two to four characters of a review in GBK whose bytes are also
        // valid UTF-8.
        {"short GBK = UTF-8", zh, Expect::Text,
         [&random](std::string& t, std::string& b) {
             std::vector<std::string> chars;
             for (std::size_t i = 0; i + 3 <= t.size(); i += 3)
                 if (static_cast<unsigned char>(t[i]) >= 0xE4 && static_cast<unsigned char>(t[i]) <= 0xE9)
                     chars.push_back(t.substr(i, 3));
                 else
                     break;
             if (chars.size() < 2) return false;
             const std::size_t n = std::min<std::size_t>(chars.size(), 2 + random() % 3);
             std::string word;
             for (std::size_t k = 0; k < n; ++k) word += chars[k];
             if (!convert("GBK", "UTF-8", word, b)) return false;
             std::string check;
             if (!convert("UTF-8", "UTF-8", b, check)) return false;  // keep those valid as UTF-8
             t = word;
             return true;
         }},
        {"CESU-8 in English", en, Expect::Damage,
         [&](std::string& t, std::string& b) {
             b = t;  // an emoji as Java writes it
             return at_random(b, [](unsigned char c) { return c == ' '; }, " \xED\xA0\xBD\xED\xB8\x80", true);
         }},
        {"overlong in English", en, Expect::Damage,
         [&](std::string& t, std::string& b) {
             b = t;
             return at_random(b, [](unsigned char c) { return c == '/' || c == ' '; }, " \xC0\xAF", true);
         }},
    };
    std::printf("%-18s %-10s %5s %7s | %-28s | %-18s\n", "saved as", "corpus", "lines", "samples",
                "ours: right refused garbled", "ICU: right garbled");
    Tally total_ours, total_icu;
    for (const Variant& v : variants) {
        for (const std::string& corpus : v.corpora) {
            const std::vector<std::string>& lines = corpora[corpus];
            if (lines.empty()) continue;
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
                    // Text the other code page writes with the same bytes as
                    // ours reads back right, refused or not.
                    const bool right = v.expect == Expect::Damage ? refused : refused ? v.expect == Expect::Foreign : mine == text;
                    static const bool verbose = std::getenv("VERBOSE") != nullptr;
                    if (verbose && !right) {
                        std::string why;
                        try {
                            why = encoding_name(detect_encoding(bytes, "sample.txt"));
                        } catch (const Error& e) {
                            why = e.what();
                        }
                        std::printf("  %s %s: %s\n    %s\n", v.name, corpus.c_str(), why.c_str(), text.substr(0, 200).c_str());
                    }
                    if (right) ++o.right;
                    else if (refused) ++o.refused;
                    else ++o.garbled;
                    std::string name;
                    std::string theirs = icu_guess(det, bytes, name);
                    if (v.expect == Expect::Damage ? name == "UTF-8" : theirs == text) ++i.right;
                    else ++i.garbled;
                }
                if (samples == 0) continue;
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
