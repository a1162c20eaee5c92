#include "io/atomic_file_platform.h"

#include <chrono>
#include <system_error>

#include <windows.h>

namespace sentiment::platform {

namespace fs = std::filesystem;

namespace {

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

}  // namespace

unsigned long current_pid() { return GetCurrentProcessId(); }

bool process_alive(unsigned long pid) {
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!h) return GetLastError() != ERROR_INVALID_PARAMETER;
    const bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    CloseHandle(h);
    return running;
}

// Leftovers are not told apart by owner here: the name pattern, the
// process and the age decide.
bool owned_by_this_user(const fs::path&) { return true; }

std::string replace(const fs::path& temp, const fs::path& target) {
    const std::wstring from = temp.wstring(), to = target.wstring();
    const DWORD error = retry_while_in_use(
        [&] { return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0; });
    return error == ERROR_SUCCESS ? std::string() : windows_message(error);
}

void remove_entry(const fs::path& target, const std::string& display_name) {
    const std::wstring wide = target.wstring();
    const DWORD error = retry_while_in_use([&] { return DeleteFileW(wide.c_str()) != 0; });
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
        cannot_write(display_name, windows_message(error));
}

}  // namespace sentiment::platform
