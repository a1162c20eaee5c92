#include "features/model_info.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "text/errors.h"

namespace sentiment {

namespace {

// The last second of the year 9999: times past it are no dates anyone means.
constexpr std::int64_t kLatestTime = 253402300799;

void put(std::string& out, std::string_view key, std::string value) {
    for (char& c : value)
        if (c == '\n' || c == '\r') c = ' ';
    out.append(key).append("=").append(value).append("\n");
}

std::string number(double x) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", x);
    return buf;
}

[[noreturn]] void bad_value(std::string_view name, std::string_view key, std::string_view value) {
    const std::string n(name), k(key);
    throw Error(n + ": not a usable model file: its record of training holds " + quoted(value) + " for " + k +
                    "; train again to make a new one",
                n + "：模型文件不可用：训练记录中 " + k + " 的值为 " + quoted(value) + "；请重新训练生成新模型");
}

template <class Int>
Int whole(std::string_view value, std::string_view name, std::string_view key) {
    Int v{};
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
    if (ec != std::errc() || end != value.data() + value.size()) bad_value(name, key, value);
    return v;
}

double real(std::string_view value, std::string_view name, std::string_view key) {
    const std::string text(value);
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size()) bad_value(name, key, value);
    return v;
}

// Sets the field `key` names; a key this version does not know is passed over.
void set_field(ModelInfo& m, std::string_view key, std::string_view value, std::string_view name) {
    std::string* text = key == "producer" ? &m.producer : key == "label_mapping" ? &m.label_mapping
                      : key == "label_reading" ? &m.label_reading : key == "input" ? &m.input
                      : key == "options" ? &m.options : key == "learner" ? &m.learner
                      : key == "validation" ? &m.validation : key == "labels_check" ? &m.labels_check : nullptr;
    std::uint64_t* count = key == "positive" ? &m.positive : key == "negative" ? &m.negative
                         : key == "left_out" ? &m.left_out : key == "without_text" ? &m.without_text
                         : key == "validated" ? &m.validated : nullptr;
    if (text) text->assign(value);
    else if (count) *count = whole<std::uint64_t>(value, name, key);
    else if (key == "trained") m.trained = whole<std::int64_t>(value, name, key);
    else if (key == "clock") m.trained_from_source_date_epoch = value == "SOURCE_DATE_EPOCH";
    else if (key == "accuracy") m.accuracy = real(value, name, key);
    else if (key == "interpolation") m.interpolation = real(value, name, key);
}

}  // namespace

std::string serialize_info(const ModelInfo& m) {
    std::string out;
    put(out, "trained", std::to_string(m.trained));
    put(out, "clock", m.trained_from_source_date_epoch ? "SOURCE_DATE_EPOCH" : "system");
    put(out, "producer", m.producer);
    put(out, "positive", std::to_string(m.positive));
    put(out, "negative", std::to_string(m.negative));
    put(out, "left_out", std::to_string(m.left_out));
    put(out, "without_text", std::to_string(m.without_text));
    put(out, "label_mapping", m.label_mapping);
    put(out, "label_reading", m.label_reading);
    put(out, "input", m.input);
    put(out, "options", m.options);
    put(out, "learner", m.learner);
    put(out, "validation", m.validation);
    put(out, "accuracy", number(m.accuracy));
    put(out, "validated", std::to_string(m.validated));
    put(out, "interpolation", number(m.interpolation));
    put(out, "labels_check", m.labels_check);
    return out;
}

ModelInfo parse_info(std::string_view text, std::string_view name) {
    ModelInfo m;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) bad_value(name, "the last line", text);
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) bad_value(name, "a line", line);
        set_field(m, line.substr(0, eq), line.substr(eq + 1), name);
    }
    return m;
}

std::string utc_text(std::int64_t seconds) {
    // Days to a civil date: Howard Hinnant's algorithm, in eras of 400 years.
    std::int64_t days = seconds / 86400, rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld UTC", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(rest / 3600),
                  static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
    return buf;
}

TrainingTime training_time(const char* source_date_epoch) {
    if (!source_date_epoch) {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        return {std::chrono::duration_cast<std::chrono::seconds>(now).count(), false};
    }
    const std::string_view text(source_date_epoch);
    std::int64_t seconds = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
    if (!digits || ec != std::errc() || end != text.data() + text.size() || seconds > kLatestTime)
        throw Error("SOURCE_DATE_EPOCH is " + quoted(text) + ", not a whole number of seconds since 1970-01-01 UTC "
                    "(up to the year 9999); set it to one, or unset it to record the clock's time",
                    "SOURCE_DATE_EPOCH 的值为 " + quoted(text) + "，不是自 1970-01-01 UTC 起的整秒数（至 9999 年为止）；"
                    "请设为这样的数，或取消设置以记录当前时间");
    return {seconds, true};
}

}  // namespace sentiment
