#include "io/file_handle.h"

#include <algorithm>
#include <system_error>

#include <windows.h>

#include "io/temporary_names.h"

namespace sentiment {

namespace fs = std::filesystem;

namespace {

HANDLE native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
std::intptr_t stored(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }
// One call moves at most this much; larger data takes several.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

}  // namespace

bool FileHandle::fail() {
    error_ = std::system_category().message(static_cast<int>(GetLastError()));
    return false;
}

FileHandle FileHandle::create_new(const fs::path& path) {
    FileHandle file(stored(CreateFileW(path.wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr)),
                    true);
    if (!file.valid()) {
        const DWORD error = GetLastError();
        file.name_taken_ = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        file.fail();
    }
    return file;
}

FileHandle FileHandle::create_scratch() {
    FileHandle file;
    wchar_t dir[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, dir);
    if (length == 0 || length > MAX_PATH) {
        file.fail();
        return file;
    }
    // Deleted by the system when the last handle closes, which a killed
    // process's handles do too.
    const DWORD flags = FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE;
    for (int attempt = 0; attempt < 100 && !file.valid(); ++attempt) {
        const fs::path name = fs::path(dir) / fs::u8path("sentiment-stdin-" + random_letters(12));
        file = FileHandle(stored(CreateFileW(name.wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                             CREATE_NEW, flags, nullptr)),
                          true);
        if (!file.valid() && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (!file.valid()) {
        file.fail();
        file.error_ = fs::path(dir).u8string() + ": " + file.error_;
    }
    return file;
}

FileHandle FileHandle::standard(StandardStream stream) {
    const DWORD which = stream == StandardStream::Input    ? STD_INPUT_HANDLE
                        : stream == StandardStream::Output ? STD_OUTPUT_HANDLE
                                                           : STD_ERROR_HANDLE;
    HANDLE handle = GetStdHandle(which);
    FileHandle file(handle == nullptr ? kInvalid : stored(handle), false);
    if (!file.valid()) file.error_ = "the stream is not open";
    return file;
}

bool FileHandle::write_all(std::string_view data) {
    if (!valid()) return false;
    while (!data.empty()) {
        DWORD wrote = 0;
        const DWORD want = static_cast<DWORD>(std::min(data.size(), kMaxTransfer));
        if (!WriteFile(native(handle_), data.data(), want, &wrote, nullptr)) return fail();
        data.remove_prefix(wrote);
    }
    return true;
}

std::ptrdiff_t FileHandle::read_some(char* dst, std::size_t want) {
    if (!valid()) return -1;
    DWORD got = 0;
    if (ReadFile(native(handle_), dst, static_cast<DWORD>(std::min(want, kMaxTransfer)), &got, nullptr)) return got;
    // The writing end of a pipe closed: the end of the data, not a failure.
    if (GetLastError() == ERROR_BROKEN_PIPE) return 0;
    fail();
    return -1;
}

bool FileHandle::rewind() {
    LARGE_INTEGER start{};
    return SetFilePointerEx(native(handle_), start, nullptr, FILE_BEGIN) || fail();
}

bool FileHandle::sync() { return FlushFileBuffers(native(handle_)) || fail(); }

bool FileHandle::close() {
    if (!valid()) return true;
    HANDLE closing = native(std::exchange(handle_, kInvalid));
    return !std::exchange(owned_, false) || CloseHandle(closing) || fail();
}

}  // namespace sentiment
