#include "commands.h"

#include <cstdio>
#include <filesystem>

#include "explanation_report.h"
#include "features/dataset.h"
#include "features/explanation.h"
#include "features/tokenizer.h"
#include "io/line_reader.h"
#include "io/output.h"
#include "io/output_checks.h"
#include "io/progress.h"
#include "io/standard_streams.h"
#include "text/errors.h"

namespace sentiment {

namespace {

// Beside the model, where its own temporary file goes too; the current
// directory for a model written to a standard stream.
std::string scratch_dir_for(const std::string& model) {
    if (output_stream_named(model)) return {};
    return std::filesystem::u8path(model).parent_path().u8string();
}

std::vector<std::string> input_paths(const LabelledFiles& files) {
    if (!files.table.empty()) return {files.table};
    return {files.reviews, files.labels};
}

}  // namespace

TrainReport run_train(const TrainFiles& given, const TrainOptions& options, const TrainingStamp& stamp,
                      const std::function<void(const TrainReport&)>& tell) {
    const LabelledFiles files = pair_as_table(given);
    check_run_files(input_paths(files), {given.model, given.progress});
    TrainReport report;
    report.replaced = model_to_replace(given.model);
    ProgressFile progress(given.progress, output_display_name(given.progress));
    // Replaces a "1" left by an earlier run before anyone mistakes it for ours.
    progress.start();
    // Checking the input before training is a tenth of the bar.
    auto input = LabelledInput::open(files, true, [&](double f) { progress.update(0.1 * f); });
    TrainOptions placed = options;
    placed.scratch_dir = scratch_dir_for(given.model);
    report.result = train_model(input->reviews(), input->labels().labels, placed,
                                [&](double f) { progress.update(0.1 + 0.89 * f); });
    report.labels = input->labels().tally;
    report.input = input->summary();
    report.direction = judge_label_direction(report.result.model, count_polar_words(input->reviews()));
    report.result.model.info =
        training_record({report.result, report.labels, report.input, options, stamp, report.direction.describe_en()});
    write_output(given.model, serialize_model(report.result.model), Durability::Durable);
    // Told before "1": a report that cannot be given fails the run.
    if (tell) tell(report);
    progress.finish();
    return report;
}

void run_explain(const ExplainFiles& files, const std::function<void(std::string_view)>& write) {
    check_run_files({files.input, files.model}, {});
    const Model model = load_model_for_use(files.model);
    auto reader = LineReader::open(files.input, files.input);
    FeatureExtractor fx(model.features);
    std::string_view line;
    std::uint64_t number = 0;
    while (reader->next(line)) {
        check_review_length(line, files.input, ++number);
        if (line.find_first_not_of(" \t") == std::string_view::npos)
            write("line " + std::to_string(number) + "\tblank, not judged\n");
        else
            write(describe_explanation(explain(model, fx, line), number, line, files.top));
    }
}

std::string run_info(const std::string& model) { return describe_model(load_model_for_use(model), model); }

Model load_model_for_use(const std::string& path) {
    if (names_standard_input(path))
        throw Error(path + ": a model cannot be read from standard input; give the name of its file",
                    path + "：模型不能从标准输入读取，请给出模型文件名");
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::u8path(path), ec))
        throw Error(path + ": there is no model yet; train first (run emotion.bat)",
                    path + "：还没有模型，请先训练（运行 emotion.bat）");
    return load_model(path, path);
}

std::string format_verdict_line(double probability, std::string_view text) {
    char number[16];
    std::snprintf(number, sizeof number, "%.4f", probability);
    std::string line = probability >= 0.5 ? "好评" : "差评";
    line += '\t';
    line += number;
    line += '\t';
    line += text;
    return line;
}

namespace {

// Windows programs read a text file in the ANSI code page unless a
// byte-order mark says otherwise; the verdicts are UTF-8, so there they
// carry one, or the window would show 差评 as 宸瘎 on code page 936.
constexpr std::string_view kVerdictFilePreamble = SENTIMENT_MARK_TEXT_OUTPUT ? "\xEF\xBB\xBF" : "";

// Judges every line of input, writing each verdict as it is made.
TestSummary judge_lines(TextSource& input, const Model& model, Output& out, const std::string& input_name) {
    FeatureExtractor fx(model.features);
    std::vector<std::uint32_t> ids;
    TestSummary s;
    std::string_view line;
    while (input.next(line)) {
        ++s.lines;
        check_review_length(line, input_name, s.lines);
        const bool empty = line.find_first_not_of(" \t") == std::string_view::npos;
        if (!empty) {
            fx.extract(line, ids);
            const double p = model.probability(ids);
            ++s.counted;
            s.positive += p >= 0.5;
            out.write(format_verdict_line(p, line));
        }
        out.write("\n");
    }
    if (s.counted == 0) {
        s.percent = "0";
    } else {
        char number[32];
        std::snprintf(number, sizeof number, "%.2f", 100.0 * double(s.positive) / double(s.counted));
        s.percent = number;
    }
    return s;
}

}  // namespace

TestSummary run_test(const TestFiles& files) {
    const std::string& source = files.table.empty() ? files.input : files.table;
    check_run_files({source, files.model}, {files.out, files.percent});
    // Like the window, start without the previous run's results: a run cut
    // short must not leave a new percentage beside old verdicts.
    if (!output_stream_named(files.out)) remove_output(files.out, files.out);
    if (!output_stream_named(files.percent)) remove_output(files.percent, files.percent);
    Model model = load_model_for_use(files.model);
    const std::string input_name = input_display_name(source);
    LinesToJudge judged = open_lines_to_judge(files.input, files.table, files.columns);
    // The verdicts wait under a temporary name until the percentage, known
    // only at the end, is in place: the window takes out.txt for the end.
    Output out(files.out, Durability::Durable);
    // The same bytes whether the verdicts go to a file or to standard output.
    out.write(kVerdictFilePreamble);
    TestSummary s = judge_lines(judged.source(), model, out, input_name);
    out.close();
    const bool percent_to_stream = output_stream_named(files.percent).has_value();
    write_output(files.percent, percent_to_stream ? s.percent + "\n" : s.percent, Durability::Durable);
    try {
        out.commit();
    } catch (const Error&) {
        // A percentage without its verdicts would be a result of nothing.
        std::error_code ignored;
        if (!percent_to_stream) std::filesystem::remove(std::filesystem::u8path(files.percent), ignored);
        throw;
    }
    return s;
}

void run_tokenize(const std::string& input) {
    check_run_files({input}, {"-"});
    auto reader = LineReader::open(input, input_display_name(input));
    Output out("-", Durability::AtomicOnly);
    TokenList tokens;
    std::string_view line;
    while (reader->next(line)) {
        tokenize(line, tokens);
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (i) out.write(" ");
            out.write(tokens[i]);
        }
        out.write("\n");
    }
    out.commit();
}

std::uint64_t Evaluation::total() const {
    return confusion[0][0] + confusion[0][1] + confusion[1][0] + confusion[1][1];
}
double Evaluation::accuracy() const {
    return total() ? double(confusion[0][0] + confusion[1][1]) / double(total()) : 0.0;
}
double Evaluation::precision(int c) const {
    auto predicted = confusion[0][c] + confusion[1][c];
    return predicted ? double(confusion[c][c]) / double(predicted) : 0.0;
}
double Evaluation::recall(int c) const {
    auto actual = confusion[c][0] + confusion[c][1];
    return actual ? double(confusion[c][c]) / double(actual) : 0.0;
}
double Evaluation::f1(int c) const {
    double p = precision(c), r = recall(c);
    return p + r > 0 ? 2 * p * r / (p + r) : 0.0;
}

Evaluation run_eval(const LabelledFiles& given, const std::string& model_path) {
    const LabelledFiles files = pair_as_table(given);
    std::vector<std::string> inputs = input_paths(files);
    inputs.push_back(model_path);
    // The report goes to standard output, which must not be an input.
    check_run_files(inputs, {"-"});
    Model model = load_model_for_use(model_path);
    auto input = LabelledInput::open(files, false);
    const std::vector<std::uint8_t>& truth = input->labels().labels;
    FeatureExtractor fx(model.features);
    std::vector<std::uint32_t> ids;
    Evaluation e;
    e.left_out = input->labels().tally.left_out();
    e.without_text = input->summary().without_text;
    std::string_view line;
    for (std::size_t i = 0; i < truth.size() && input->reviews().next(line); ++i) {
        fx.extract(line, ids);
        int predicted = model.probability(ids) >= 0.5 ? 1 : 0;
        ++e.confusion[truth[i]][predicted];
    }
    return e;
}

Evaluation run_eval(const std::string& reviews, const std::string& labels, const std::string& model) {
    LabelledFiles files;
    files.reviews = reviews;
    files.labels = labels;
    return run_eval(files, model);
}

}  // namespace sentiment
