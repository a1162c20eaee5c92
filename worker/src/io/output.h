#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "io/atomic_file.h"
#include "io/file_handle.h"

namespace sentiment {

// One output of a run, written as the data comes: a file, which takes its
// name only once complete (AtomicFileWriter), or standard output or error
// (output_stream_named), written through. A file not committed when the
// output is destroyed is removed with its temporary name.
class Output {
public:
    Output(const std::string& path, Durability durability);
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void write(std::string_view data);
    // Everything written; a file still waits under its temporary name.
    void close();
    // A file takes its name.
    void commit();
    bool is_stream() const { return stream_.has_value(); }

private:
    void pass_on();  // what a stream's buffer holds

    std::unique_ptr<AtomicFileWriter> file_;
    std::optional<StandardStream> stream_;
    std::string buffer_;
};

// The whole of data at once, as it is (no line break is added for a stream).
void write_output(const std::string& path, std::string_view data, Durability durability);

}  // namespace sentiment
