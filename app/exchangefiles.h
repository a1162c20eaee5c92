#ifndef EXCHANGEFILES_H
#define EXCHANGEFILES_H

#include <QString>

#include <optional>

// The files through which the window and the worker scripts talk, all in the
// work directory and named relative to it, and the two ways the window reads
// what a worker wrote.
namespace ExchangeFiles {

// Training: the staged inputs, the staging directory they pass through, and
// the progress the worker reports (the fraction done, 0 to 1).
inline const QString reviews = QStringLiteral("reviews.txt");
inline const QString labels = QStringLiteral("labels.txt");
inline const QString staging = QStringLiteral("temp");
inline const QString stagedReviews = QStringLiteral("temp/reviews.txt");
inline const QString stagedLabels = QStringLiteral("temp/labels.txt");
inline const QString progress = QStringLiteral("计数.txt");

// Testing: the text to classify, the verdicts, and the positive rate in percent.
inline const QString testText = QStringLiteral("test.txt");
inline const QString output = QStringLiteral("out.txt");
inline const QString percent = QStringLiteral("percent.txt");

// The worker scripts, and the lock file by which each kind of run claims its
// exchange files (RunClaim).
inline const QString trainingScript = QStringLiteral("emotion.bat");
inline const QString testScript = QStringLiteral("test.bat");
inline const QString trainingLock = QStringLiteral("emotion.bat.lock");
inline const QString testLock = QStringLiteral("test.bat.lock");

// The first number in a file a worker wrote, 0 when it does not start with
// one; nothing when there is no regular file to read.
std::optional<double> readNumber(const QString &name);

// The lines of a file a worker wrote, each followed by "\n" (an empty file
// gives an empty string); nothing when there is no regular file to read.
std::optional<QString> readLines(const QString &name);

} // namespace ExchangeFiles

#endif // EXCHANGEFILES_H
