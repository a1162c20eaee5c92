#ifndef TRAININGEXCHANGE_H
#define TRAININGEXCHANGE_H

#include "notice.h"

#include <QString>

#include <optional>

// The training worker's side of the work directory: the two chosen inputs
// staged as "reviews.txt" and "labels.txt", and the progress it reports in
// "计数.txt".
namespace TrainingExchange {

// Only regular files can be staged: a FIFO would block the copy, and a
// directory or device is no review file. Gives the refusal of the first
// chosen file that is anything else.
std::optional<Notice> refuseIrregularInputs(const QString &reviewsPath, const QString &labelsPath);

struct StagingOutcome
{
    enum class Status {
        Staged,
        ChosenFileIsStagingEntry, // a chosen file is the file named "temp"
        UserFileIsStagingEntry,   // another file of the user's is named "temp"
        ChosenFileIsStaged,       // a chosen file lies in "temp" itself
        StagingFailed,            // no staging directory, or no copy in it
        ExchangeFilesStuck,       // an old exchange file could not be replaced
    };
    Status status = Status::Staged;
    Notice notice; // why not, unless Staged

    bool staged() const { return status == Status::Staged; }
};

// Copies both chosen files through "temp" to "reviews.txt" and "labels.txt"
// and removes an old "计数.txt". A chosen file is never removed before a
// complete copy of it exists, even when it is itself one of those names.
StagingOutcome stageInputs(const QString &reviewsPath, const QString &labelsPath);

// One look at "计数.txt".
struct Progress
{
    bool found = false; // false: no readable file yet, nothing new
    double value = 0;

    // Within 1e-6 of 1: the worker's end signal.
    bool isComplete() const;
    // The progress bar's value, when the value fits the bar's 0 to 100.
    std::optional<int> percent() const;
};

Progress readProgress();

} // namespace TrainingExchange

#endif // TRAININGEXCHANGE_H
