#include "workfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <windows.h>

namespace WorkFiles {

bool replaceEntry(const QString &from, const QString &to)
{
    // MoveFileExW replaces the entry `to` (a symbolic link included) rather
    // than the file it points to.
    return MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                       MOVEFILE_REPLACE_EXISTING)
        != 0;
}

OpenResult openRegularFile(const QString &path, QFile &file)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return OpenResult::NotRegular;
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly) ? OpenResult::Opened : OpenResult::Failed;
}

} // namespace WorkFiles
