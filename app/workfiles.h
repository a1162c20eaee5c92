#ifndef WORKFILES_H
#define WORKFILES_H

#include <QString>

class QFile;

// File operations on the work directory that must neither follow a symbolic
// link planted there nor block on a special file. Everything that differs
// between Windows and POSIX for this lives in workfiles_posix.cpp and
// workfiles_win32.cpp.
namespace WorkFiles {

// True when an entry of this name exists, a dangling link included.
bool entryExists(const QString &name);

// Removes the entry itself (a link, never its target). True when no entry of
// that name is left.
bool removeEntry(const QString &name);

// Makes `name` a real directory: a link or any other non-directory in its place
// is removed first, so nothing staged there can land outside the work directory.
bool ensureRealDirectory(const QString &name);

// Renames `from` over `to` in one step. An existing `to` is replaced as an
// entry: a link there is replaced, its target left untouched.
bool replaceEntry(const QString &from, const QString &to);

enum class OpenResult { Opened, NotRegular, Failed };

// Opens a regular file for reading (following the user's own link to it).
// A FIFO, device or directory is refused without being waited on.
OpenResult openRegularFile(const QString &path, QFile &file);

// Copies an opened file to a new entry `to`, which must not exist (a link
// there makes the copy fail instead of writing through it).
bool copyToNewFile(QFile &source, const QString &to);

} // namespace WorkFiles

#endif // WORKFILES_H
