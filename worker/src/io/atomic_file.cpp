#include "io/atomic_file.h"

#include <chrono>
#include <mutex>
#include <set>
#include <system_error>

#include "io/atomic_file_platform.h"
#include "io/output_checks.h"
#include "io/temporary_names.h"
#include "text/errors.h"

namespace sentiment {

namespace fs = std::filesystem;

namespace {

// Data is handed to the system in pieces of this size.
constexpr std::size_t kBufferBytes = std::size_t{1} << 18;
// Writing a temporary file takes seconds at most; one this old whose process
// still seems alive belongs to a process that has reused a dead run's id.
constexpr auto kStaleAge = std::chrono::hours(1);
// A process id can look dead from another PID namespace (a container): a
// file just written may still be someone's, so it is left a little while.
constexpr auto kSettleAge = std::chrono::seconds(30);

bool is_ours(const fs::path& file, const std::string& target_name, unsigned long& pid) {
    const std::string name = file.filename().u8string();
    return is_temporary_name(name, &pid) || is_former_temporary_name_of(name, target_name, &pid);
}

// Leftovers of killed runs: one of our names, a regular file (never a link
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
        if (!is_ours(p, target_name, pid) || pid == platform::current_pid()) continue;
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

AtomicFileWriter::AtomicFileWriter(const std::string& path, const std::string& display_name, Durability durability)
    : target_(fs::u8path(path)), name_(display_name), durability_(durability) {
    check_output_kind(path, display_name);
    remove_stale_temporaries(target_);
    for (int attempt = 0; attempt < 100 && !file_.valid(); ++attempt) {
        temp_ = target_.parent_path() / fs::u8path(temporary_name(platform::current_pid()));
        file_ = FileHandle::create_new(temp_);
        if (!file_.valid() && !file_.name_taken()) cannot_write(name_, file_.error());
    }
    if (!file_.valid()) cannot_write(name_, "no free temporary file name");
}

AtomicFileWriter::~AtomicFileWriter() {
    if (committed_) return;
    file_.close();
    std::error_code ignored;
    fs::remove(temp_, ignored);
}

void AtomicFileWriter::flush() {
    if (!file_.write_all(buffer_)) cannot_write(name_, file_.error());
    buffer_.clear();
}

void AtomicFileWriter::write(std::string_view data) {
    if (buffer_.size() + data.size() <= kBufferBytes) {
        buffer_ += data;
        return;
    }
    flush();
    if (data.size() < kBufferBytes)
        buffer_ = data;
    else if (!file_.write_all(data))
        cannot_write(name_, file_.error());
}

void AtomicFileWriter::close() {
    if (closed_) return;
    flush();
    if (durability_ == Durability::Durable && !file_.sync()) cannot_write(name_, file_.error());
    if (!file_.close()) cannot_write(name_, file_.error());
    closed_ = true;
}

void AtomicFileWriter::commit() {
    close();
    const std::string why = platform::replace(temp_, target_);
    if (!why.empty()) cannot_write(name_, why);
    committed_ = true;
}

void write_file_atomically(const std::string& path, std::string_view data, const std::string& display_name,
                           bool durable) {
    AtomicFileWriter file(path, display_name, durable ? Durability::Durable : Durability::AtomicOnly);
    file.write(data);
    file.commit();
}

void remove_output(const std::string& path, const std::string& display_name) {
    check_output_kind(path, display_name);
    platform::remove_entry(fs::u8path(path), display_name);
}

}  // namespace sentiment
