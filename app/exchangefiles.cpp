#include "exchangefiles.h"

#include "workfiles.h"

#include <QFile>
#include <QTextStream>

namespace ExchangeFiles {

namespace {

// Anything but a regular file counts as unreadable: a FIFO in its place
// would block the window.
bool openExchangeFile(const QString &name, QFile &file)
{
    if (WorkFiles::openRegularFile(name, file) != WorkFiles::OpenResult::Opened)
        return false;
    file.setTextModeEnabled(true);
    return true;
}

} // namespace

std::optional<double> readNumber(const QString &name)
{
    QFile file;
    if (!openExchangeFile(name, file))
        return std::nullopt;
    QTextStream in(&file);
    double value = 0;
    in >> value;
    return value;
}

std::optional<QString> readLines(const QString &name)
{
    QFile file;
    if (!openExchangeFile(name, file))
        return std::nullopt;
    QTextStream in(&file);
    QString text;
    for (QString line = in.readLine(); !line.isNull(); line = in.readLine())
        text += line + QLatin1Char('\n');
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace ExchangeFiles
