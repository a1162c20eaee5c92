#include "io/output.h"

#include "io/standard_streams.h"

namespace sentiment {

namespace {
// Lines for a stream are passed on in pieces of about this size.
constexpr std::size_t kStreamBuffer = std::size_t{1} << 16;
}  // namespace

Output::Output(const std::string& path, Durability durability) : stream_(output_stream_named(path)) {
    if (!stream_) file_ = std::make_unique<AtomicFileWriter>(path, output_display_name(path), durability);
}

Output::~Output() = default;

void Output::write(std::string_view data) {
    if (file_) return file_->write(data);
    buffer_ += data;
    if (buffer_.size() >= kStreamBuffer) pass_on();
}

void Output::pass_on() {
    write_to_stream(*stream_, buffer_);
    buffer_.clear();
}

void Output::close() {
    if (file_) return file_->close();
    pass_on();
}

void Output::commit() {
    if (file_) return file_->commit();
    close();
}

void write_output(const std::string& path, std::string_view data, Durability durability) {
    Output output(path, durability);
    output.write(data);
    output.commit();
}

}  // namespace sentiment
