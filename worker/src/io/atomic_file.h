#pragma once
#include <filesystem>
#include <string>
#include <string_view>

#include "io/file_handle.h"

namespace sentiment {

enum class Durability {
    AtomicOnly,  // readers never see half a file; a crash of the system may lose it
    Durable,     // on the disk before it takes its name, so a crash cannot leave half of it either
};

// Writes a file whole: the data goes to a new temporary file in the same
// directory, which takes the file's name only once complete, so readers see
// either the old content or all of the new. The temporary name is
// unpredictable and created exclusively, so a planted file or link under it
// is never written through; the path itself must name a regular file, a
// symbolic link to one (the link is replaced, its target untouched), a
// dangling link or nothing (see check_output_kind). Every failure throws
// Error and removes the temporary file; so does destruction before commit().
// The first write to a path also removes temporary files left beside it by
// runs that were killed.
class AtomicFileWriter {
public:
    AtomicFileWriter(const std::string& path, const std::string& display_name, Durability durability);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    void write(std::string_view data);
    // All of the data written (and, if durable, on the disk), still under
    // the temporary name.
    void close();
    // Closes if need be, then gives the file its name.
    void commit();

private:
    void flush();

    std::filesystem::path target_, temp_;
    std::string name_;
    Durability durability_;
    FileHandle file_;
    std::string buffer_;
    bool closed_ = false, committed_ = false;
};

// The whole of data at once, with AtomicFileWriter.
void write_file_atomically(const std::string& path, std::string_view data, const std::string& display_name,
                           bool durable);

// Removes a file the way an output is replaced: a link itself, never what it
// points to. Nothing there is fine; anything else that fails throws Error.
void remove_output(const std::string& path, const std::string& display_name);

}  // namespace sentiment
