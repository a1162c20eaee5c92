#include "testexchange.h"

#include "exchangefiles.h"
#include "workfiles.h"

#include <QFile>
#include <QTemporaryFile>
#include <QTextCodec>
#include <QTextStream>

namespace TestExchange {

namespace {

bool isAscii(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0x7F)
            return false;
    }
    return true;
}

// The system's code page, as the worker scripts expect, where it carries the
// text unchanged: a UTF-8 locale, or text all in ASCII, which reads the same
// in every code page. Otherwise (Chinese on a Windows code page such as 1252,
// which has no Chinese, or 936, which lacks emoji and rarer characters and
// whose short lines can read as valid UTF-8 too) UTF-8 with a byte-order
// mark, which the worker reads without loss or doubt.
void chooseEncoding(QTextStream &out, const QString &text)
{
    if (QTextCodec::codecForLocale()->mibEnum() == 106 || isAscii(text))
        return;
    out.setCodec("UTF-8");
    out.setGenerateByteOrderMark(true);
}

// Writes the text to a new file beside "test.txt" and gives its name, or a
// null string when it could not be written whole (nothing is left then).
// The file object ends here: Windows keeps a QTemporaryFile's handle open
// through close(), and cannot rename a file that is open.
QString writeTemporaryCopy(const QString &text)
{
    QTemporaryFile file(ExchangeFiles::testText + QStringLiteral(".XXXXXX"));
    if (!file.open())
        return QString();
    file.setTextModeEnabled(true);
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    QTextStream out(&file);
    chooseEncoding(out, text);
    out << text;
    out.flush();
    // A short write would have the worker classify a cut-off text.
    const bool written = out.status() == QTextStream::Ok && file.flush() && file.error() == QFileDevice::NoError;
    file.close();
    if (!written || file.error() != QFileDevice::NoError)
        return QString();
    file.setAutoRemove(false); // writeTestFile renames it, or removes it
    return file.fileName();
}

} // namespace

std::optional<Notice> writeTestFile(const QString &text)
{
    const QString written = writeTemporaryCopy(text);
    if (written.isNull())
        return Notice{QStringLiteral("文件打开失败"), QStringLiteral("请检查是否磁盘已满")};
    if (WorkFiles::replaceEntry(written, ExchangeFiles::testText))
        return std::nullopt;
    QFile::remove(written);
    // The text was written whole, so the disk is not full: what stands in the
    // way is "test.txt" itself, held open by another program (Windows cannot
    // replace it then) or a folder of that name.
    return Notice{QStringLiteral("文件打开失败"),
                  QStringLiteral("无法替换工作目录中的 %1：它可能正被其他程序打开，或是一个文件夹。"
                                 "请关闭占用它的程序后再试。测试没有开始。")
                      .arg(ExchangeFiles::testText)};
}

std::optional<Notice> removeOldResults()
{
    for (const QString &name : {ExchangeFiles::output, ExchangeFiles::percent}) {
        if (!WorkFiles::removeEntry(name))
            return Notice{QStringLiteral("测试异常"),
                          QStringLiteral("无法删除上一次的结果文件 %1，测试没有开始。请检查文件权限。").arg(name)};
    }
    return std::nullopt;
}

Results readResults()
{
    const Notice unreadable{QStringLiteral("测试异常"), QStringLiteral("请检查磁盘是否已满。")};
    const std::optional<QString> output = ExchangeFiles::readLines(ExchangeFiles::output);
    if (!output)
        return Results{Results::Status::OutputUnreadable, QString(), 0, unreadable};
    const std::optional<double> rate = ExchangeFiles::readNumber(ExchangeFiles::percent);
    if (!rate)
        return Results{Results::Status::RateUnreadable, *output, 0, unreadable};
    return Results{Results::Status::Read, *output, *rate, Notice()};
}

} // namespace TestExchange
