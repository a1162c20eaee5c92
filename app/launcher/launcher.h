#ifndef LAUNCHER_H
#define LAUNCHER_H

#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// What the menu entry or Start-menu shortcut starts: it gives the window a
// per-user work directory holding the worker scripts, a way to reach the
// installed classifier and the sample reviews, and starts the window there.
// The window itself takes no options and works in its current directory.
namespace launcher {

namespace fs = std::filesystem;

// Why the launcher gave up, in the two languages the program speaks.
struct Failure {
    std::string zh;
    std::string en;
};

// The installed program, found relative to the launcher itself.
struct InstalledFiles {
    fs::path window;
    fs::path tool;                 // the classifier the scripts run
    std::vector<fs::path> scripts; // refreshed on every start
    std::vector<fs::path> samples; // copied only when missing
};

// The installed files, found from the launcher's own folder.
InstalledFiles installedFiles();

// Puts the scripts, the classifier and the samples into `work`, creating it
// when missing. Each file lands in one rename, so a kill never leaves half a
// file. What the user trained or chose there is never overwritten.
std::optional<Failure> prepareWorkDirectory(const InstalledFiles &files, const fs::path &work);

// Text in the file system's own encoding, for messages.
std::string displayName(const fs::path &path);

// The platform's half (launcher_posix.cpp, launcher_win32.cpp).
namespace platform {

// The folder of the running launcher, links resolved.
fs::path ownFolder();

// The classifier's file name ("sentiment", "sentiment.exe").
extern const char *const toolName;

// Where the user's work directory is, or why there is none.
std::variant<fs::path, Failure> workDirectory();

bool isWritableDirectory(const fs::path &directory);

// Renames `from` over `to` in one step; a link at `to` is replaced, never
// written through.
bool replaceEntry(const fs::path &from, const fs::path &to);

// Makes the classifier reachable from the work directory as the scripts
// expect it (a link beside them, or a copy where links need privileges).
std::optional<Failure> placeTool(const fs::path &tool, const fs::path &work);

// Starts the window in `work` with the arguments the launcher was given
// (argv[1] on); returns only on failure.
Failure startWindow(const fs::path &window, const fs::path &work, char **argv);

void report(const Failure &failure);

} // namespace platform
} // namespace launcher

#endif // LAUNCHER_H
