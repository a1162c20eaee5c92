#include "trainingexchange.h"

#include "exchangefiles.h"
#include "workfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cmath>

namespace TrainingExchange {

namespace {

const QString stagingTitle = QStringLiteral("无法准备训练数据");

StagingOutcome notStaged(StagingOutcome::Status status, const QString &text)
{
    return StagingOutcome{status, Notice{stagingTitle, text}};
}

StagingOutcome stagingFailed()
{
    return notStaged(StagingOutcome::Status::StagingFailed,
                     QStringLiteral("无法把所选文件复制到暂存目录 %1。请检查磁盘空间和目录权限。训练没有开始，没有文件被删除。")
                         .arg(QDir::toNativeSeparators(QDir::current().absoluteFilePath(ExchangeFiles::staging))));
}

bool isEither(const QString &canonical, const QString &reviewsPath, const QString &labelsPath)
{
    return !canonical.isEmpty()
        && (QFileInfo(reviewsPath).canonicalFilePath() == canonical
            || QFileInfo(labelsPath).canonicalFilePath() == canonical);
}

// Makes "temp" a real directory that holds neither chosen file.
StagingOutcome prepareStagingDirectory(const QString &reviewsPath, const QString &labelsPath)
{
    // A regular file named temp is the user's, chosen or not: it is never
    // deleted to make way for the directory.
    const QFileInfo entry(ExchangeFiles::staging);
    if (!entry.isSymLink() && entry.isFile()) {
        if (isEither(entry.canonicalFilePath(), reviewsPath, labelsPath))
            return notStaged(StagingOutcome::Status::ChosenFileIsStagingEntry,
                             QStringLiteral("所选文件名为 temp，占用了暂存目录的位置，请先把它改名或移到别处再选择。"));
        return notStaged(StagingOutcome::Status::UserFileIsStagingEntry,
                         QStringLiteral("工作目录 %1 中有一个名为 temp 的文件，占用了暂存目录的位置。"
                                        "训练没有开始，这个文件没有改动；请先把它改名或移到别处。")
                             .arg(QDir::toNativeSeparators(QDir::currentPath())));
    }
    // A link named temp would have the staging copies written, and removed,
    // in some other directory.
    if (!WorkFiles::ensureRealDirectory(ExchangeFiles::staging))
        return stagingFailed();
    // Clearing the staging area would delete such a choice itself.
    for (const QString &staged : {ExchangeFiles::stagedReviews, ExchangeFiles::stagedLabels}) {
        if (isEither(QFileInfo(staged).canonicalFilePath(), reviewsPath, labelsPath))
            return notStaged(StagingOutcome::Status::ChosenFileIsStaged,
                             QStringLiteral("所选文件位于暂存目录 temp 中，请先把它移到别处再选择。"));
    }
    return StagingOutcome();
}

// Copies a regular file to a new entry of the work directory.
bool copyRegularFile(const QString &from, const QString &to)
{
    QFile source;
    return WorkFiles::openRegularFile(from, source) == WorkFiles::OpenResult::Opened
        && WorkFiles::copyToNewFile(source, to);
}

void removeStagedCopies()
{
    WorkFiles::removeEntry(ExchangeFiles::stagedReviews);
    WorkFiles::removeEntry(ExchangeFiles::stagedLabels);
}

// Copies never overwrite: a copy left by an interrupted start would otherwise
// be trained on instead of the chosen file.
bool copyIntoStaging(const QString &reviewsPath, const QString &labelsPath)
{
    removeStagedCopies();
    if (copyRegularFile(reviewsPath, ExchangeFiles::stagedReviews)
        && copyRegularFile(labelsPath, ExchangeFiles::stagedLabels))
        return true;
    removeStagedCopies();
    return false;
}

// Complete copies of both inputs exist now, so the old exchange files may go,
// even when one of them is itself the chosen input.
StagingOutcome moveStagedCopiesIntoPlace()
{
    QStringList stuck;
    for (const QString &name : {ExchangeFiles::labels, ExchangeFiles::reviews, ExchangeFiles::progress}) {
        if (!WorkFiles::removeEntry(name))
            stuck.append(name);
    }
    if (stuck.isEmpty() && copyRegularFile(ExchangeFiles::stagedReviews, ExchangeFiles::reviews)
        && copyRegularFile(ExchangeFiles::stagedLabels, ExchangeFiles::labels)) {
        removeStagedCopies();
        return StagingOutcome();
    }
    // The staged copies stay: they may be the only copy of a chosen input.
    const QString names = stuck.isEmpty() ? QStringLiteral("reviews.txt / labels.txt") : stuck.join(QStringLiteral("、"));
    return notStaged(StagingOutcome::Status::ExchangeFilesStuck,
                     QStringLiteral("无法在工作目录中更新 %1。训练没有开始；所选文件的副本保留在 temp 目录中。").arg(names));
}

} // namespace

std::optional<Notice> refuseIrregularInputs(const QString &reviewsPath, const QString &labelsPath)
{
    const auto refusal = [](const QString &path, const QString &title, const QString &role) {
        return Notice{title, QStringLiteral("“%1”不是普通文件（而是目录、管道或设备），不能用作%2。请选择一个文本文件。")
                                 .arg(QDir::toNativeSeparators(path), role)};
    };
    if (!QFileInfo(reviewsPath).isFile())
        return refusal(reviewsPath, QStringLiteral("选择点评内容文件"), QStringLiteral("点评内容文件"));
    if (!QFileInfo(labelsPath).isFile())
        return refusal(labelsPath, QStringLiteral("选择点评标签文件"), QStringLiteral("点评标签文件"));
    return std::nullopt;
}

StagingOutcome stageInputs(const QString &reviewsPath, const QString &labelsPath)
{
    const StagingOutcome prepared = prepareStagingDirectory(reviewsPath, labelsPath);
    if (!prepared.staged())
        return prepared;
    if (!copyIntoStaging(reviewsPath, labelsPath))
        return stagingFailed();
    return moveStagedCopiesIntoPlace();
}

bool Progress::isComplete() const
{
    return std::fabs(value - 1) < 1e-6;
}

// Truncating anything in (-1, 101) lands in the bar's range 0..100; all else
// (NaN too) is left out, and the int conversion cannot overflow.
std::optional<int> Progress::percent() const
{
    const double hundredfold = value * 100;
    if (hundredfold > -1.0 && hundredfold < 101.0)
        return static_cast<int>(hundredfold);
    return std::nullopt;
}

Progress readProgress()
{
    const std::optional<double> value = ExchangeFiles::readNumber(ExchangeFiles::progress);
    if (!value)
        return Progress();
    return Progress{true, *value};
}

} // namespace TrainingExchange
