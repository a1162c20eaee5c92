#include "textimport.h"

#include "workfiles.h"

#include "text/errors.h"
#include "text/text_decoder.h"

#include <QFile>
#include <QFileInfo>

#include <new>
#include <string>

namespace {

ImportedText refused(const QString &reason)
{
    ImportedText result;
    result.status = ImportedText::Status::Refused;
    result.reason = reason;
    return result;
}

// Each line of UTF-8 text followed by "\n"; a final line end adds no line.
struct SplitText
{
    enum class Status { Split, LineTooLong, TooManyLines };
    Status status = Status::Split;
    QString text;
    int line = 0; // the line that is too long, or the count of lines
};

SplitText splitLines(const std::string &utf8, const ImportLimits &limits)
{
    SplitText result;
    result.text = QStringLiteral("");
    std::size_t start = 0;
    int lines = 0;
    while (start < utf8.size()) {
        std::size_t end = utf8.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = utf8.size();
        ++lines;
        if (end - start > static_cast<std::size_t>(limits.lineBytes))
            return SplitText{SplitText::Status::LineTooLong, QString(), lines};
        if (lines <= limits.lines) { // past that only counted, for the message
            result.text += QString::fromUtf8(utf8.data() + start, static_cast<int>(end - start));
            result.text += QLatin1Char('\n');
        }
        if (end < utf8.size() && utf8[end] == '\r' && end + 1 < utf8.size() && utf8[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    if (lines > limits.lines)
        return SplitText{SplitText::Status::TooManyLines, QString(), lines};
    return result;
}

// The split text for the box, or the refusal of a line too long or too many.
ImportedText imported(const QString &name, const SplitText &split, const ImportLimits &limits)
{
    switch (split.status) {
    case SplitText::Status::LineTooLong:
        return refused(QStringLiteral("“%1”中有超过 %2 KB 的行（第 %3 行），无法导入。\n"
                                      "\"%1\" has a line longer than %2 KB (line %3); it cannot be imported.")
                           .arg(name)
                           .arg(limits.lineBytes / 1024)
                           .arg(split.line));
    case SplitText::Status::TooManyLines:
        return refused(QStringLiteral("“%1”有 %2 行：测试文本最多导入 %3 行。\n"
                                      "\"%1\" has %2 lines: at most %3 lines of test text can be imported.")
                           .arg(name)
                           .arg(split.line)
                           .arg(limits.lines));
    case SplitText::Status::Split:
        break;
    }
    ImportedText result;
    result.status = ImportedText::Status::Read;
    result.text = split.text;
    return result;
}

} // namespace

ImportedText importTestText(const QString &path, const ImportLimits &limits)
{
    const QString name = QFileInfo(path).fileName();
    QFile file;
    // A directory, FIFO or device cannot be read as a file either: the
    // window's callers know that failure by its one warning.
    if (WorkFiles::openRegularFile(path, file) != WorkFiles::OpenResult::Opened)
        return ImportedText();
    // Read one byte past the limit, so that a file still growing is caught too.
    const QByteArray bytes = file.read(limits.bytes + 1);
    if (file.error() != QFileDevice::NoError)
        return ImportedText();
    if (bytes.size() > limits.bytes)
        return refused(QStringLiteral("“%1”太大：测试文本最多导入 %2 KB。\n"
                                      "\"%1\" is too large: at most %2 KB of test text can be imported.")
                           .arg(name)
                           .arg(limits.bytes / 1024));

    std::string utf8;
    try {
        utf8 = sentiment::decode_text(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                                      name.toStdString());
    } catch (const sentiment::Error &error) {
        return refused(QStringLiteral("无法导入“%1”：%2\n%3")
                           .arg(name, QString::fromStdString(error.chinese()), QString::fromStdString(error.english())));
    } catch (const std::bad_alloc &) {
        return refused(QStringLiteral("“%1”太大，内存不足。\n\"%1\" is too large for the memory available.").arg(name));
    }
    // UTF-16 text has zero bytes in it, so the decoded text is what tells.
    if (utf8.find('\0') != std::string::npos)
        return refused(QStringLiteral("“%1”含有空字节，不是文本文件，无法导入。\n"
                                      "\"%1\" contains NUL bytes; it is not a text file and cannot be imported.")
                           .arg(name));

    return imported(name, splitLines(utf8, limits), limits);
}
