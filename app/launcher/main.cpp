#include "launcher.h"

// Finds the installed program, prepares the user's work directory and
// starts the window there.
int main(int, char **argv)
{
    using namespace launcher;
    const InstalledFiles files = installedFiles();
    std::error_code error;
    if (!fs::is_regular_file(files.window, error)) {
        platform::report({"找不到程序窗口“" + displayName(files.window) + "”",
                          "the window program " + displayName(files.window) + " is missing"});
        return 1;
    }
    if (!fs::is_regular_file(files.tool, error)) {
        platform::report({"找不到分类工具“" + displayName(files.tool) + "”",
                          "the classifier " + displayName(files.tool) + " is missing"});
        return 1;
    }

    const std::variant<fs::path, Failure> work = platform::workDirectory();
    if (const Failure *failure = std::get_if<Failure>(&work)) {
        platform::report(*failure);
        return 1;
    }
    const fs::path &workDir = std::get<fs::path>(work);
    if (std::optional<Failure> failure = prepareWorkDirectory(files, workDir)) {
        platform::report(*failure);
        return 1;
    }
    platform::report(platform::startWindow(files.window, workDir, argv));
    return 1;
}
