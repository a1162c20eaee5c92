#include "io/temporary_names.h"

#include <cstring>
#include <random>

namespace sentiment {

namespace {

constexpr std::size_t kRandomChars = 12;
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::string_view kPrefix = ".sentiment-tmp-";

// "<pid>-<12 letters or digits>", the part both patterns share.
bool is_pid_and_random(std::string_view rest, unsigned long* pid) {
    const std::size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 10) return false;
    unsigned long value = 0;
    for (char c : rest.substr(0, dash)) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    const std::string_view random = rest.substr(dash + 1);
    if (random.size() != kRandomChars) return false;
    for (char c : random)
        if (c == '\0' || std::strchr(kAlphabet, c) == nullptr) return false;
    if (pid) *pid = value;
    return true;
}

}  // namespace

std::string random_letters(std::size_t count) {
    std::random_device random;
    std::string letters;
    for (std::size_t i = 0; i < count; ++i) letters += kAlphabet[random() % (sizeof kAlphabet - 1)];
    return letters;
}

std::string temporary_name(unsigned long pid) {
    // Unpredictable, so nobody can plant a link under the name in advance.
    return std::string(kPrefix) + std::to_string(pid) + "-" + random_letters(kRandomChars);
}

bool is_temporary_name(std::string_view name, unsigned long* pid) {
    return name.substr(0, kPrefix.size()) == kPrefix && is_pid_and_random(name.substr(kPrefix.size()), pid);
}

bool is_former_temporary_name_of(std::string_view name, std::string_view target_name, unsigned long* pid) {
    const std::string prefix = std::string(target_name) + ".tmp-";
    return name.size() > prefix.size() && name.substr(0, prefix.size()) == prefix &&
           is_pid_and_random(name.substr(prefix.size()), pid);
}

}  // namespace sentiment
