#include "io/standard_streams.h"

namespace sentiment {

bool names_standard_input(std::string_view path) { return path == "-" || path == "/dev/stdin"; }

std::optional<StandardStream> output_stream_named(std::string_view path) {
    if (path == "-" || path == "/dev/stdout") return StandardStream::Output;
    if (path == "/dev/stderr") return StandardStream::Error;
    return std::nullopt;
}

std::string input_display_name(const std::string& path) { return path == "-" ? "<stdin>" : path; }

std::string output_display_name(const std::string& path) { return path == "-" ? "<stdout>" : path; }

Error cannot_write_stream(StandardStream stream, const std::string& why) {
    const bool output = stream == StandardStream::Output;
    return Error(std::string(output ? "standard output" : "standard error") + ": cannot write (" + why + ")",
                 std::string(output ? "标准输出" : "标准错误") + "：无法写入（" + why + "）");
}

void write_to_stream(StandardStream stream, std::string_view data) {
    FileHandle file = FileHandle::standard(stream);
    if (!file.write_all(data)) throw cannot_write_stream(stream, file.error());
}

}  // namespace sentiment
