#pragma once
#include <chrono>
#include <optional>
#include <string>

#include "io/file_handle.h"

namespace sentiment {

// Publishes the fraction of work done as a small text file ("0.37") that
// another program polls. Each update replaces the file atomically. A value
// is written each time it moves by a hundredth, but never more often than
// min_interval, so fast runs do not hammer the disk.
// Only finish() writes "1", the signal that the result is complete; a run
// that ends without it removes the file if start() made it, and leaves one
// that was there before holding a value below 1.
// On a standard stream ("-", /dev/stdout, /dev/stderr) each value is a line.
class ProgressFile {
public:
    ProgressFile(std::string path, std::string display_name,
                 std::chrono::milliseconds min_interval = std::chrono::milliseconds(20));
    ~ProgressFile();
    ProgressFile(const ProgressFile&) = delete;
    ProgressFile& operator=(const ProgressFile&) = delete;

    void start();                 // writes "0"
    void update(double fraction);  // clamped to [0, 0.99]
    void finish();                // writes "1"
    int writes() const { return writes_; }

private:
    void write(const std::string& text);

    std::string path_, name_;
    std::optional<StandardStream> stream_;
    std::chrono::milliseconds min_interval_;
    std::chrono::steady_clock::time_point last_time_{};
    int last_hundredths_ = -1;
    int writes_ = 0;
    bool made_ = false, finished_ = false;
};

// "0.37": two decimals, rounded down so work in progress never reads as 1.
std::string format_fraction(double fraction);

}  // namespace sentiment
