#include "io/progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <filesystem>
#include <system_error>

#include "io/atomic_file.h"
#include "io/standard_streams.h"

namespace sentiment {

std::string format_fraction(double fraction) {
    if (!(fraction > 0)) fraction = 0;  // also catches NaN
    int hundredths = std::min(99, static_cast<int>(std::floor(fraction * 100.0)));
    char text[16];
    std::snprintf(text, sizeof text, "0.%02d", hundredths);
    return text;
}

ProgressFile::ProgressFile(std::string path, std::string display_name, std::chrono::milliseconds min_interval)
    : path_(std::move(path)),
      name_(std::move(display_name)),
      stream_(output_stream_named(path_)),
      min_interval_(min_interval) {}

ProgressFile::~ProgressFile() {
    if (!made_ || finished_) return;
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::u8path(path_), ignored);
}

void ProgressFile::write(const std::string& text) {
    if (stream_)
        write_to_stream(*stream_, text + "\n");
    else  // durability does not matter for a progress display, only atomicity
        write_file_atomically(path_, text, name_, false);
    last_time_ = std::chrono::steady_clock::now();
    ++writes_;
}

void ProgressFile::start() {
    std::error_code ec;
    const bool existed = std::filesystem::exists(std::filesystem::symlink_status(std::filesystem::u8path(path_), ec));
    write("0");
    made_ = !stream_ && !existed;
    last_hundredths_ = 0;
}

void ProgressFile::update(double fraction) {
    if (!(fraction > 0)) fraction = 0;
    int hundredths = std::min(99, static_cast<int>(std::floor(fraction * 100.0)));
    if (hundredths == last_hundredths_) return;
    auto now = std::chrono::steady_clock::now();
    if (now - last_time_ < min_interval_) return;
    write(format_fraction(fraction));
    last_hundredths_ = hundredths;
}

void ProgressFile::finish() {
    write("1");
    finished_ = true;
    last_hundredths_ = 100;
}

}  // namespace sentiment
