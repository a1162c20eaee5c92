#pragma once
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

namespace sentiment {

// Bytes that can be read from the start as often as needed: settling a
// file's encoding reads it whole before its lines are read, and training
// reads its reviews more than once.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to want bytes, 0 at the end; throws Error when the system fails.
    virtual std::size_t read(char* dst, std::size_t want) = 0;
    virtual void rewind() = 0;
    // All the bytes there are, for progress; 0 when not known.
    virtual std::uint64_t size() const = 0;
};

// Standard input when names_standard_input(path) (see copy_standard_input),
// else a regular file (see open_regular_file).
std::unique_ptr<ByteSource> open_input(const std::string& path, const std::string& display_name);

// A buffer that must outlive the source.
std::unique_ptr<ByteSource> memory_source(std::string_view bytes);

// All of standard input, copied as it comes into a file in the system's
// temporary directory, which the system removes once it is closed however
// the process ends. Memory stays small whatever the size of the input; the
// disk holds the copy. Throws Error when the copy cannot be made.
std::unique_ptr<ByteSource> copy_standard_input(const std::string& display_name);

// Opens a regular file for binary reading; throws Error for anything else
// (pipes and devices cannot be read twice) or if it cannot be opened.
std::ifstream open_regular_file(const std::string& path, const std::string& display_name);

// Reads a whole file; throws Error if it cannot be opened or read.
std::string read_file(const std::string& path, const std::string& display_name);

}  // namespace sentiment
