#include "launcher.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <unistd.h>

namespace launcher::platform {

namespace {

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

} // namespace

const char *const toolName = "sentiment";

fs::path ownFolder()
{
    std::error_code error;
    const fs::path self = fs::canonical("/proc/self/exe", error);
    return error ? fs::path(".") : self.parent_path();
}

std::variant<fs::path, Failure> workDirectory()
{
    // The development build (scripts/run.sh) keeps its work directory in
    // the source tree.
    const std::string own = environment("QINGGAN_FENXI_WORKDIR");
    if (!own.empty())
        return fs::path(own);
    // XDG base directories: a relative XDG_DATA_HOME is to be ignored.
    const std::string dataHome = environment("XDG_DATA_HOME");
    if (!dataHome.empty() && dataHome.front() == '/')
        return fs::path(dataHome) / "qinggan-fenxi";
    const std::string home = environment("HOME");
    if (home.empty())
        return Failure{"未设置 HOME，无法确定工作目录", "HOME is not set, so there is no place for the work directory"};
    return fs::path(home) / ".local" / "share" / "qinggan-fenxi";
}

bool isWritableDirectory(const fs::path &directory)
{
    return ::access(directory.c_str(), W_OK | X_OK) == 0;
}

bool replaceEntry(const fs::path &from, const fs::path &to)
{
    return std::rename(from.c_str(), to.c_str()) == 0;
}

std::optional<Failure> placeTool(const fs::path &tool, const fs::path &work)
{
    const fs::path temporary = work / ".sentiment.launcher-tmp";
    std::error_code error;
    fs::remove(temporary, error);
    fs::create_symlink(tool, temporary, error);
    if (error || !replaceEntry(temporary, work / "sentiment")) {
        fs::remove(temporary, error);
        return Failure{"无法在工作目录中写入“sentiment”",
                       "cannot write sentiment into the work directory " + displayName(work)};
    }
    return std::nullopt;
}

Failure startWindow(const fs::path &window, const fs::path &work, char **argv)
{
    // The progress file "计数.txt" has a Chinese name and the texts are
    // Chinese: without a UTF-8 locale Qt would mangle both.
    std::setlocale(LC_ALL, "");
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0)
        ::setenv("LC_ALL", "C.UTF-8", 1);
    if (::chdir(work.c_str()) != 0)
        return {"无法进入工作目录“" + displayName(work) + "”", "cannot enter the work directory " + displayName(work)};
    argv[0] = const_cast<char *>(window.c_str());
    ::execv(window.c_str(), argv);
    return {"无法启动程序窗口“" + displayName(window) + "”：" + std::strerror(errno),
            "cannot start the window program " + displayName(window) + ": " + std::strerror(errno)};
}

void report(const Failure &failure)
{
    std::fprintf(stderr, "错误：%s\nerror: %s\n", failure.zh.c_str(), failure.en.c_str());
}

} // namespace launcher::platform
