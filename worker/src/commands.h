#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "trainer.h"

namespace sentiment {

// The jobs behind the command-line tool, as functions that report through
// return values and Error; the caller does the talking.

struct TrainFiles {
    std::string reviews = "reviews.txt";
    std::string labels = "labels.txt";
    std::string model = "sentiment.model";
    std::string progress = "计数.txt";
};

// Refuses outputs that name an input or are not regular files. Validates,
// trains, saves the model atomically and only then writes "1" to the
// progress file. On any Error no end signal is left (no progress file at all
// unless one was there before), and the previous model remains unless the
// Error came from report, which is called once the model is in place and
// before "1" is written, so that a report that cannot be given fails the run.
// Reviews or labels (one of them) may be "-", standard input; the model and
// progress may go to standard output or error (standard_streams.h).
TrainResult run_train(const TrainFiles& files, const TrainOptions& options,
                      const std::function<void(const TrainResult&)>& report = {});

struct TestFiles {
    std::string input = "test.txt";
    std::string model = "sentiment.model";
    std::string out = "out.txt";
    std::string percent = "percent.txt";
};

struct TestSummary {
    std::size_t lines = 0;     // output lines written
    std::size_t counted = 0;   // non-empty lines judged
    std::size_t positive = 0;
    std::string percent;       // as written to the percent file
};

// One output line per input line: 好评/差评, tab, probability of positive with
// four decimals, tab, the text. Removes both outputs of an earlier run
// first, then writes the verdicts as they are made to the output file's
// temporary name, the percent file, and only then renames the output file
// into place: the percent file is complete before the output file exists.
// On any Error neither is left. The input may be "-", standard input, and
// either output (not both) standard output.
TestSummary run_test(const TestFiles& files);
std::string format_verdict_line(double probability, std::string_view text);

struct Evaluation {
    // confusion[truth][predicted], index 1 = positive
    std::uint64_t confusion[2][2] = {{0, 0}, {0, 0}};
    std::uint64_t total() const;
    double accuracy() const;
    double precision(int cls) const;
    double recall(int cls) const;
    double f1(int cls) const;
};

Evaluation run_eval(const std::string& reviews, const std::string& labels, const std::string& model);

// Prints the tokens of each line of a file (or "-", standard input) to
// standard output, space separated, one output line per input line; a
// failed write is an Error.
void run_tokenize(const std::string& input);

// Gives a clear "train first" error when the model file does not exist,
// and a clear refusal for "-".
Model load_model_for_use(const std::string& path);

}  // namespace sentiment
