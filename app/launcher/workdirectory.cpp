#include "launcher.h"

#include <cstdlib>
#include <system_error>

// Where the installed files lie relative to the launcher's folder, fixed when
// the program is configured for its prefix.
#ifndef LAUNCHER_TO_DATA
#error "LAUNCHER_TO_DATA must name the data folder relative to the launcher"
#endif
#ifndef LAUNCHER_TO_WINDOW
#error "LAUNCHER_TO_WINDOW must name the window relative to the launcher"
#endif

namespace launcher {

namespace {

Failure cannotWrite(const fs::path &name, const fs::path &work)
{
    return {"无法在工作目录中写入“" + displayName(name) + "”",
            "cannot write " + displayName(name) + " into the work directory " + displayName(work)};
}

// A copy under a temporary name, then one rename: a kill leaves either the
// old file or the whole new one.
bool placeCopy(const fs::path &source, const fs::path &target)
{
    fs::path temporaryName = ".";
    temporaryName += target.filename();
    temporaryName += ".launcher-tmp";
    const fs::path temporary = target.parent_path() / temporaryName;
    std::error_code error;
    fs::remove(temporary, error);
    if (!fs::copy_file(source, temporary, error)) {
        fs::remove(temporary, error);
        return false;
    }
    if (!platform::replaceEntry(temporary, target)) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

// A dangling link is an entry too: it is the user's, and is kept.
bool entryExists(const fs::path &path)
{
    std::error_code error;
    return fs::symlink_status(path, error).type() != fs::file_type::not_found && !error;
}

} // namespace

InstalledFiles installedFiles()
{
    const fs::path folder = platform::ownFolder();
    const fs::path data = folder / fs::u8path(LAUNCHER_TO_DATA);
    InstalledFiles files;
    // The tests start a stand-in for the window.
    const char *standIn = std::getenv("QINGGAN_FENXI_WINDOW");
    files.window = standIn && *standIn ? fs::u8path(standIn) : folder / fs::u8path(LAUNCHER_TO_WINDOW);
    files.tool = folder / platform::toolName;
    files.scripts = {data / "scripts" / "emotion.bat", data / "scripts" / "test.bat"};
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(data / "sample", error)) {
        if (entry.path().extension() == ".txt" && entry.is_regular_file(error))
            files.samples.push_back(entry.path());
    }
    return files;
}

std::string displayName(const fs::path &path)
{
    return path.u8string();
}

std::optional<Failure> prepareWorkDirectory(const InstalledFiles &files, const fs::path &work)
{
    std::error_code error;
    fs::create_directories(work, error);
    if (!fs::is_directory(work, error) || !platform::isWritableDirectory(work))
        return Failure{"无法使用工作目录“" + displayName(work) + "”（不是可写的目录）",
                       "cannot use the work directory " + displayName(work) + " (not a writable directory)"};

    for (const fs::path &script : files.scripts) {
        if (!placeCopy(script, work / script.filename()))
            return cannotWrite(script.filename(), work);
    }
    if (std::optional<Failure> failure = platform::placeTool(files.tool, work))
        return failure;
    for (const fs::path &sample : files.samples) {
        const fs::path target = work / sample.filename();
        if (!entryExists(target) && !placeCopy(sample, target))
            return cannotWrite(sample.filename(), work);
    }
    return std::nullopt;
}

} // namespace launcher
