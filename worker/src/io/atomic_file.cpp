#include "io/atomic_file.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

[[noreturn]] void cannot_write(const std::string& name, const std::string& why) {
    throw Error(name + ": cannot write the file (" + why + ")", name + "：无法写入文件（" + why + "）");
}

unsigned long current_pid() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(::getpid());
#endif
}

bool process_alive(unsigned long pid) {
#ifdef _WIN32
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!h) return GetLastError() != ERROR_INVALID_PARAMETER;
    const bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    CloseHandle(h);
    return running;
#else
    if (pid == 0 || pid > static_cast<unsigned long>(std::numeric_limits<pid_t>::max())) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
#endif
}

std::string temporary_name(const std::string& target_name) {
    // Unpredictable, so nobody can plant a link under the name in advance.
    std::random_device random;
    std::string name = target_name + ".tmp-" + std::to_string(current_pid()) + "-";
    for (std::size_t i = 0; i < kRandomChars; ++i) name += kAlphabet[random() % (sizeof kAlphabet - 1)];
    return name;
}

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
        if (!is_temporary_name_of(p.filename().u8string(), target_name, &pid) || pid == current_pid()) continue;
        std::error_code e;
        if (!fs::is_regular_file(fs::symlink_status(p, e))) continue;
#ifndef _WIN32
        struct stat st{};
        if (::lstat(p.c_str(), &st) != 0 || st.st_uid != ::geteuid()) continue;
#endif
        const auto written = fs::last_write_time(p, e);
        if (e) continue;
        const auto age = fs::file_time_type::clock::now() - written;
        if (age > kStaleAge || (age > kSettleAge && !process_alive(pid))) fs::remove(p, e);
    }
}

#ifdef _WIN32

std::string windows_message(DWORD code) { return std::system_category().message(static_cast<int>(code)); }

// The window may be reading the file at this moment without letting others
// delete it, which makes a replace fail for as long as it reads: retry a
// little while before calling it a failure.
template <class Attempt>
DWORD retry_while_in_use(Attempt attempt) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (;;) {
        if (attempt()) return ERROR_SUCCESS;
        const DWORD error = GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) ||
            std::chrono::steady_clock::now() > deadline)
            return error;
        Sleep(20);
    }
}

void write_and_replace(const fs::path& target, std::string_view data, const std::string& display_name,
                       bool durable) {
    fs::path temp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
        temp = target.parent_path() / fs::u8path(temporary_name(target.filename().u8string()));
        h = CreateFileW(temp.wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            cannot_write(display_name, windows_message(GetLastError()));
    }
    if (h == INVALID_HANDLE_VALUE) cannot_write(display_name, "no free temporary file name");
    bool ok = true;
    while (ok && !data.empty()) {
        DWORD wrote = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
        ok = WriteFile(h, data.data(), want, &wrote, nullptr) != 0;
        data.remove_prefix(wrote);
    }
    if (ok && durable) ok = FlushFileBuffers(h) != 0;
    DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(h);
    if (ok) {
        const std::wstring from = temp.wstring(), to = target.wstring();
        error = retry_while_in_use(
            [&] { return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0; });
    }
    if (error != ERROR_SUCCESS) {
        DeleteFileW(temp.wstring().c_str());
        cannot_write(display_name, windows_message(error));
    }
}

#else

bool write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void write_and_replace(const fs::path& target, std::string_view data, const std::string& display_name,
                       bool durable) {
    fs::path temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = target.parent_path() / temporary_name(target.filename().string());
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) cannot_write(display_name, std::strerror(errno));
    }
    if (fd < 0) cannot_write(display_name, "no free temporary file name");
    bool ok = write_all(fd, data) && (!durable || ::fsync(fd) == 0);
    int saved = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        cannot_write(display_name, std::strerror(saved));
    }
}

#endif

}  // namespace

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
    write_and_replace(target, data, display_name, durable);
}

void remove_output(const std::string& path, const std::string& display_name) {
    check_output_kind(path, display_name);
    const fs::path target = fs::u8path(path);
#ifdef _WIN32
    const std::wstring wide = target.wstring();
    const DWORD error = retry_while_in_use([&] { return DeleteFileW(wide.c_str()) != 0; });
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
        cannot_write(display_name, windows_message(error));
#else
    if (::unlink(target.c_str()) != 0 && errno != ENOENT) cannot_write(display_name, std::strerror(errno));
#endif
}

}  // namespace sentiment
