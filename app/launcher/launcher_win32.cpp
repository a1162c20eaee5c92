#include "launcher.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <iterator>

namespace launcher::platform {

namespace {

std::wstring wide(const std::string &utf8)
{
    std::wstring out(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), int(out.size()));
    return out;
}

std::string systemMessage(DWORD code)
{
    wchar_t *text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    const std::string message = text ? fs::path(text).u8string() : "error " + std::to_string(code);
    LocalFree(text);
    return message;
}

bool sameContent(const fs::path &a, const fs::path &b)
{
    std::error_code error;
    if (fs::file_size(a, error) != fs::file_size(b, error) || error)
        return false;
    std::ifstream left(a, std::ios::binary), right(b, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(left), {}, std::istreambuf_iterator<char>(right));
}

// The arguments the launcher was given, as the command line wrote them:
// everything after its own (possibly quoted) program name.
std::wstring ownArguments()
{
    const wchar_t *line = GetCommandLineW();
    bool quoted = false;
    for (; *line && (quoted || (*line != L' ' && *line != L'\t')); ++line) {
        if (*line == L'"')
            quoted = !quoted;
    }
    return line;
}

} // namespace

const char *const toolName = "sentiment.exe";

fs::path ownFolder()
{
    std::wstring self(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, self.data(), DWORD(self.size()));
        if (length < self.size()) {
            self.resize(length);
            break;
        }
        self.resize(self.size() * 2);
    }
    return fs::path(self).parent_path();
}

// A visible folder in Documents: the window's file dialogs open there, so the
// samples, the model and out.txt are where the user looks for their files.
std::variant<fs::path, Failure> workDirectory()
{
    wchar_t *documents = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_CREATE, nullptr, &documents))) {
        CoTaskMemFree(documents);
        return Failure{"找不到“文档”文件夹，无法确定工作目录",
                       "there is no Documents folder, so there is no place for the work directory"};
    }
    const fs::path work = fs::path(documents) / L"情感分析";
    CoTaskMemFree(documents);
    return work;
}

bool isWritableDirectory(const fs::path &directory)
{
    const fs::path probe = directory / L".launcher-probe";
    const HANDLE handle = CreateFileW(probe.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(handle);
    return true;
}

bool replaceEntry(const fs::path &from, const fs::path &to)
{
    // A virus scanner or the indexer may hold the old file for a moment.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD code = GetLastError();
        if (code != ERROR_SHARING_VIOLATION && code != ERROR_ACCESS_DENIED)
            return false;
        Sleep(100);
    }
    return false;
}

// Links need privileges on Windows, so the scripts get a copy of the
// classifier beside them. A copy still running from an earlier worker cannot
// be replaced; it is kept until the next start.
std::optional<Failure> placeTool(const fs::path &tool, const fs::path &work)
{
    const fs::path target = work / toolName;
    std::error_code error;
    if (fs::is_regular_file(target, error) && sameContent(tool, target))
        return std::nullopt;
    const fs::path temporary = work / L".sentiment.exe.launcher-tmp";
    fs::remove(temporary, error);
    if (fs::copy_file(tool, temporary, error) && replaceEntry(temporary, target))
        return std::nullopt;
    fs::remove(temporary, error);
    if (fs::is_regular_file(target, error))
        return std::nullopt;
    return Failure{"无法在工作目录中写入“sentiment.exe”",
                   "cannot write sentiment.exe into the work directory " + displayName(work)};
}

Failure startWindow(const fs::path &window, const fs::path &work, char **)
{
    std::wstring commandLine = L"\"" + window.native() + L"\"" + ownArguments();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(window.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, work.c_str(),
                        &startup, &process)) {
        const std::string reason = systemMessage(GetLastError());
        return {"无法启动程序窗口“" + displayName(window) + "”：" + reason,
                "cannot start the window program " + displayName(window) + ": " + reason};
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ExitProcess(0);
}

// The launcher has no console: a message box is all the user would see.
// Standard error gets the message too, for whoever started it from one.
void report(const Failure &failure)
{
    std::fprintf(stderr, "错误：%s\nerror: %s\n", failure.zh.c_str(), failure.en.c_str());
    const std::wstring text = wide(failure.zh) + L"\n\n" + wide(failure.en);
    MessageBoxW(nullptr, text.c_str(), L"情感分析", MB_OK | MB_ICONERROR);
}

} // namespace launcher::platform
