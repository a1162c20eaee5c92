#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "features/label_direction.h"
#include "features/label_scheme.h"
#include "model_report.h"
#include "run_inputs.h"
#include "trainer.h"

namespace sentiment {

// The jobs behind the command-line tool, as functions that report through
// return values and Error; the caller does the talking.

struct TrainFiles : LabelledFiles {
    std::string model = "sentiment.model";
    std::string progress = "计数.txt";
};

// What training did, for the caller to tell.
struct TrainReport {
    TrainResult result;
    LabelTally labels;     // reviews of each class, how the labels were read
    InputSummary input;    // read as a table or not, rows passed over
    std::string replaced;  // the model the new one replaced, if any (model_to_replace)
    LabelDirection direction;  // whether the labels may be the wrong way round
};

// Refuses outputs that name an input or are not regular files. Validates,
// trains, saves the model atomically and only then writes "1" to the
// progress file. On any Error no end signal is left (no progress file at all
// unless one was there before), and the previous model remains unless the
// Error came from tell, which is called once the model is in place and
// before "1" is written, so that a report that cannot be given fails the run.
// A reviews file and a labels file with the same bytes are read as one
// table (pair_as_table). Reviews or labels (one of them) may be "-",
// standard input; the model and progress may go to standard output or error
// (standard_streams.h). The model records the stamp and what training found
// (ModelInfo).
TrainReport run_train(const TrainFiles& files, const TrainOptions& options, const TrainingStamp& stamp = {},
                      const std::function<void(const TrainReport&)>& tell = {});

struct TestFiles {
    std::string input = "test.txt";
    std::string table;         // instead of input: judge this table's text column
    ColumnRequest columns;
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

// One output line per input line (or table row): 好评/差评, tab, probability
// of positive with four decimals, tab, the text (a table's line breaks as
// spaces). Removes both outputs of an earlier run first, then writes the
// verdicts as they are made to the output file's temporary name, the percent
// file, and only then renames the output file into place: the percent file
// is complete before the output file exists. On any Error neither is left.
// The input may be "-", standard input, and either output (not both)
// standard output.
TestSummary run_test(const TestFiles& files);
std::string format_verdict_line(double probability, std::string_view text);

struct Evaluation {
    // confusion[truth][predicted], index 1 = positive
    std::uint64_t confusion[2][2] = {{0, 0}, {0, 0}};
    std::uint64_t left_out = 0;      // rated 3 stars, judged by no one
    std::uint64_t without_text = 0;  // table rows with a label but no review
    std::uint64_t total() const;
    double accuracy() const;
    double precision(int cls) const;
    double recall(int cls) const;
    double f1(int cls) const;
};

Evaluation run_eval(const LabelledFiles& files, const std::string& model);
Evaluation run_eval(const std::string& reviews, const std::string& labels, const std::string& model);

// Prints the tokens of each line of a file (or "-", standard input) to
// standard output, space separated, one output line per input line; a
// failed write is an Error.
void run_tokenize(const std::string& input);

struct ExplainFiles {
    std::string input = "test.txt";
    std::string model = "sentiment.model";
    std::size_t top = 5;  // contributions shown for each side
};
// For each line of the input, describe_explanation; a blank line gets
// "line N\tblank, not judged". Each line's text goes to write as it is
// done, so that a large input needs no more memory than a line.
void run_explain(const ExplainFiles& files, const std::function<void(std::string_view)>& write);

// What `sentiment info` prints about a model file (describe_model).
std::string run_info(const std::string& model);

// Gives a clear "train first" error when the model file does not exist,
// and a clear refusal for "-".
Model load_model_for_use(const std::string& path);

}  // namespace sentiment
