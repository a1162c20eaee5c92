#include "io/atomic_file.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <system_error>

#include "io/atomic_file_platform.h"
#include "io/output_checks.h"
#include "text/errors.h"

namespace sentiment {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kRandomChars = 12;
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
// Writing a temporary file takes seconds at most; one this old whose process
// still seems alive belongs to a process that has reused a dead run's id.
constexpr auto kStaleAge = std::chrono::hours(1);
// A process id can look dead from another PID namespace (a container): a
// file just written may still be someone's, so it is left a little while.
constexpr auto kSettleAge = std::chrono::seconds(30);

// Leftovers of killed runs: our exact pattern, a regular file (never a link
// or anything else), ours, and either its process is gone (and the file not
// brand new) or it is old.
void remove_stale_temporaries(const fs::path& target) {
    static std::mutex mutex;
    static std::set<fs::path> done;  // once per target and process is enough
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!done.insert(target).second) return;
    }
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string target_name = target.filename().u8string();
    std::error_code ec;
    fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        unsigned long pid = 0;
        const fs::path& p = it->path();
        if (!is_temporary_name_of(p.filename().u8string(), target_name, &pid) || pid == platform::current_pid())
            continue;
        std::error_code e;
        if (!fs::is_regular_file(fs::symlink_status(p, e)) || !platform::owned_by_this_user(p)) continue;
        const auto written = fs::last_write_time(p, e);
        if (e) continue;
        const auto age = fs::file_time_type::clock::now() - written;
        if (age > kStaleAge || (age > kSettleAge && !platform::process_alive(pid))) fs::remove(p, e);
    }
}

}  // namespace

void cannot_write(const std::string& name, const std::string& why) {
    throw Error(name + ": cannot write the file (" + why + ")", name + "：无法写入文件（" + why + "）");
}

std::string temporary_name(const std::string& target_name) {
    // Unpredictable, so nobody can plant a link under the name in advance.
    std::random_device random;
    std::string name = target_name + ".tmp-" + std::to_string(platform::current_pid()) + "-";
    for (std::size_t i = 0; i < kRandomChars; ++i) name += kAlphabet[random() % (sizeof kAlphabet - 1)];
    return name;
}

bool is_temporary_name_of(std::string_view name, std::string_view target_name, unsigned long* pid) {
    const std::string prefix = std::string(target_name) + ".tmp-";
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return false;
    name.remove_prefix(prefix.size());
    const std::size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 10) return false;
    unsigned long value = 0;
    for (char c : name.substr(0, dash)) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    const std::string_view random = name.substr(dash + 1);
    if (random.size() != kRandomChars) return false;
    for (char c : random)
        if (std::strchr(kAlphabet, c) == nullptr || c == '\0') return false;
    if (pid) *pid = value;
    return true;
}

void write_file_atomically(const std::string& path, std::string_view data, const std::string& display_name,
                           bool durable) {
    check_output_kind(path, display_name);
    const fs::path target = fs::u8path(path);
    remove_stale_temporaries(target);
    platform::write_and_replace(target, data, display_name, durable);
}

void remove_output(const std::string& path, const std::string& display_name) {
    check_output_kind(path, display_name);
    platform::remove_entry(fs::u8path(path), display_name);
}

}  // namespace sentiment
