#ifndef TEXTIMPORT_H
#define TEXTIMPORT_H

#include <QString>

// Reads a file chosen for the test box the way the worker reads its input:
// UTF-8 with or without byte-order mark, UTF-16 with byte-order mark, or
// GB18030/GBK; LF, CR LF and a lone CR all end a line. The result holds each
// line followed by "\n".
struct ImportedText
{
    // Unreadable: no regular file could be opened for reading (a directory,
    // a FIFO, a file gone); Refused: read, but not text the box can take.
    enum class Status { Read, Unreadable, Refused };
    Status status = Status::Unreadable;
    QString text;   // Read: the lines
    QString reason; // Refused: why, in Chinese then English
};

// The largest import taken: the test box holds sentences to try, and a much
// larger text freezes the window while it lays the text out.
constexpr qint64 maxImportBytes = 4 * 1024 * 1024;
// The worker takes lines up to 1 MiB, but the test box lays out one line of
// 1 MiB of words for minutes (bench/import.sh); 256 KiB takes half a second.
constexpr int maxImportLineBytes = 256 * 1024;

ImportedText importTestText(const QString &path);

#endif // TEXTIMPORT_H
