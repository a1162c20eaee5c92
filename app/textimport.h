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

// What an import may hold. The test box is a QTextEdit, which lays out a
// large text slowly: within these limits every import is shown in about a
// second or less (bench/import.sh), where 100,000 short lines took several
// seconds and 500,000 froze the window for many minutes.
struct ImportLimits
{
    qint64 bytes;  // the file's size
    int lineBytes; // one line, decoded to UTF-8
    int lines;

    // The window's limits. 384 KB of Chinese in one line takes about 0.8 s,
    // 10,000 lines of short sentences about 0.7 s; the worker itself would
    // take lines of up to 1 MiB.
    static constexpr ImportLimits window() { return ImportLimits{384 * 1024, 256 * 1024, 10000}; }
};

ImportedText importTestText(const QString &path, const ImportLimits &limits = ImportLimits::window());

#endif // TEXTIMPORT_H
