#ifndef TESTEXCHANGE_H
#define TESTEXCHANGE_H

#include "notice.h"

#include <QString>

#include <optional>

// The test worker's side of the work directory: the text to classify in
// "test.txt", and the verdicts and positive rate it leaves in "out.txt" and
// "percent.txt".
namespace TestExchange {

// Writes the text to a new file and renames it over "test.txt", so that a
// link planted as "test.txt" is replaced rather than written through, and the
// worker never sees a half-written file. Gives the refusal when it cannot.
std::optional<Notice> writeTestFile(const QString &text);

// Old results must go before the worker starts: an old "out.txt" would end
// the run at once, and an old "percent.txt" would show a stale rate. Gives
// the refusal when one of them stays.
std::optional<Notice> removeOldResults();

// What the tick that found "out.txt" reads.
struct Results
{
    enum class Status { Read, OutputUnreadable, RateUnreadable };
    Status status = Status::Read;
    QString output; // the lines of "out.txt", unless OutputUnreadable
    double rate = 0; // the percentage in "percent.txt", when Read
    Notice notice;   // why not, unless Read
};

Results readResults();

} // namespace TestExchange

#endif // TESTEXCHANGE_H
