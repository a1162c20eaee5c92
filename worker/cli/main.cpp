// sentiment: trains and applies the review classifier for 情感分析.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "commands.h"
#include "io/standard_streams.h"
#include "learn/memory_budget.h"
#include "project_version.h"
#include "reports.h"
#include "text/errors.h"
#include "utf8_arguments.h"

using namespace sentiment;

namespace {

// Everything the command line can say, bound to CLI11's options.
struct Arguments {
    TrainFiles train_files;
    TrainOptions train;
    // Feature sizes go through int: CLI11 would read a uint8_t as a character.
    int bits = train.features.bits, ngrams = train.features.ngrams, char_min = train.features.char_min,
        char_max = train.features.char_max;
    std::string memory_mb = "0";  // parsed in train(): see parse_memory_mb
    TestFiles test;
    LabelledFiles eval{"", "", "", {}, false};
    std::string eval_model = "sentiment.model";
    std::string tokenize_input = "test.txt";
    std::string info_model = "sentiment.model";
    ExplainFiles explain;
};

struct Subcommands {
    CLI::App *train, *test, *eval, *tokenize, *info, *explain;
};

int fail(const Error& e) {
    std::cerr << "错误：" << e.chinese() << "\nerror: " << e.english() << std::endl;
    return 1;
}

// Where a run's report goes: standard error when standard output carries
// one of the run's outputs, so that the two do not mix.
StandardStream report_stream(const std::vector<std::string>& outputs) {
    for (const std::string& output : outputs)
        if (output_stream_named(output) == StandardStream::Output) return StandardStream::Error;
    return StandardStream::Output;
}

// CLI11 would wrap "-1" and numbers past 2^64 around without a word.
const CLI::Validator kSeedRange(
    [](std::string& text) -> std::string {
        static const std::string largest = "18446744073709551615";
        const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
        if (digits && (text.size() < largest.size() || (text.size() == largest.size() && text <= largest))) return {};
        return "--seed must be a whole number from 0 to " + largest + ", not " + text;
    },
    "0.." + std::string("18446744073709551615"));

constexpr const char* kLabelHelp =
    "positive/negative, pos/neg, 1/0, 正面/负面, 好评/差评, or star ratings 1-5 (4-5 positive, 1-2 negative, 3 left out)";

// --table with its column choices, for train, eval and test.
void add_table(CLI::App* command, std::string& table, ColumnRequest& columns, bool labels,
               std::initializer_list<CLI::Option*> instead) {
    CLI::Option* t = command->add_option("--table", table,
                                         labels ? "A CSV or TSV file with a header row holding both the reviews and their labels"
                                                : "A CSV or TSV file with a header row: judge its review column, one output line a row");
    for (CLI::Option* o : instead) t->excludes(o);
    command->add_option("--text-column", columns.text, "The table's review column, by header name or number (1 = first); "
                        "found by name (评价, 内容, review, text...) or content when not given")->needs(t);
    if (labels)
        command->add_option("--label-column", columns.label, "The table's label or rating column, by header name or number; "
                            "found by name (评分, 星级, rating, stars, label...) or content when not given")->needs(t);
}

CLI::App* add_train(CLI::App& app, Arguments& a) {
    CLI::App* train = app.add_subcommand("train", "Learn a model from reviews and their labels");
    CLI::Option* reviews = train->add_option("--reviews", a.train_files.reviews, "Reviews, one per line (- for standard input)")
        ->capture_default_str();
    CLI::Option* labels = train->add_option("--labels", a.train_files.labels,
                                            std::string("Labels, one per line (- for standard input): ") + kLabelHelp)
        ->capture_default_str();
    add_table(train, a.train_files.table, a.train_files.columns, true, {reviews, labels});
    train->add_option("--model", a.train_files.model, "Model file to write (- for standard output)")->capture_default_str();
    train->add_option("--progress", a.train_files.progress, "Progress file: fraction done, 1 when finished (- for standard output, a line each)")->capture_default_str();
    train->add_option("--seed", a.train.seed, "Random seed; the same seed gives the same model")->capture_default_str()
        ->check(kSeedRange);
    train->add_option("--svm-c", a.train.svm_c, "SVM cost of a margin violation")->capture_default_str()
        ->check(CLI::Range(1e-6, 1e6));
    train->add_option("--interpolation", a.train.interpolation, "Share of the SVM in its mix with naive Bayes when there are too few reviews to choose it by cross-validation")
        ->capture_default_str()->check(CLI::Range(0.0, 1.0));
    train->add_option("--nb-alpha", a.train.nb_smoothing, "Smoothing of the naive Bayes counts")->capture_default_str()
        ->check(CLI::Range(1e-3, 100.0));
    train->add_option("--holdout", a.train.holdout, "Share of reviews set aside to measure a model learnt from the file block by block; 0 also turns off the cross-validation that picks the NB interpolation and the probability scale")
        ->capture_default_str()->check(CLI::Range(0.0, 0.5));
    train->add_option("--threads", a.train.threads, "Threads hashing reviews too many to keep in memory (0: one per core); "
                      "the model is the same for any number")
        ->capture_default_str()->check(CLI::Range(0u, 64u));
    // Read as text: CLI11 calls a word "not in range" and has no Chinese.
    train->add_option("--memory", a.memory_mb, "Memory for training in MB (0: a quarter of this machine's, at most 2048); "
                      "reviews that do not fit are re-read from the file each pass")
        ->capture_default_str();
    train->add_option("--bits", a.bits, "log2 of the number of feature buckets")->capture_default_str()
        ->check(CLI::Range(int(kMinBits), int(kMaxBits)));
    train->add_option("--ngrams", a.ngrams, "Longest word/character n-gram")->capture_default_str()
        ->check(CLI::Range(1, int(kMaxNgrams)));
    train->add_option("--char-min", a.char_min, "Shortest n-gram of letters inside words (0: none)")->capture_default_str()
        ->check(CLI::Range(0, int(kMaxCharNgram)));
    train->add_option("--char-max", a.char_max, "Longest n-gram of letters inside words (0: none)")->capture_default_str()
        ->check(CLI::Range(0, int(kMaxCharNgram)));

    return train;
}

CLI::App* add_test(CLI::App& app, TestFiles& f) {
    CLI::App* test = app.add_subcommand("test", "Judge each line of a text file with a trained model");
    CLI::Option* input = test->add_option("--input", f.input, "Sentences to judge, one per line (- for standard input)")
        ->capture_default_str();
    add_table(test, f.table, f.columns, false, {input});
    test->add_option("--model", f.model, "Model file")->capture_default_str();
    test->add_option("--out", f.out, "Output: verdict, probability of positive, text (- for standard output)")->capture_default_str();
    test->add_option("--percent", f.percent, "Output: percentage of lines judged positive (- for standard output)")->capture_default_str();
    return test;
}

CLI::App* add_eval(CLI::App& app, Arguments& a) {
    CLI::App* eval = app.add_subcommand("eval", "Measure a model on labelled reviews");
    CLI::Option* reviews = eval->add_option("--reviews", a.eval.reviews, "Reviews, one per line, or --table (- for standard input)");
    CLI::Option* labels = eval->add_option("--labels", a.eval.labels,
                                           std::string("Labels, one per line, or --table (- for standard input): ") + kLabelHelp);
    add_table(eval, a.eval.table, a.eval.columns, true, {reviews, labels});
    eval->add_option("--model", a.eval_model, "Model file")->capture_default_str();
    return eval;
}

CLI::App* add_info(CLI::App& app, std::string& model) {
    CLI::App* info = app.add_subcommand("info", "Describe a model: when, by what and from which reviews it was trained, "
                                                "its options and the accuracy training measured");
    info->add_option("--model", model, "Model file")->capture_default_str();
    return info;
}

CLI::App* add_explain(CLI::App& app, ExplainFiles& files) {
    CLI::App* explain = app.add_subcommand("explain", "For each line, the verdict and the n-grams that weighed most "
                                                      "for and against it, with their weights: \"words\" and Chinese "
                                                      "characters in quotes, [letters inside a word] in brackets; the "
                                                      "bias and the weights of all add up to the score");
    explain->add_option("--input", files.input, "Text file, one review per line")->capture_default_str();
    explain->add_option("--model", files.model, "Model file")->capture_default_str();
    explain->add_option("--top", files.top, "N-grams shown for each side")->capture_default_str()->check(CLI::Range(1, 1000));
    return explain;
}

CLI::App* add_tokenize(CLI::App& app, std::string& input) {
    CLI::App* tok = app.add_subcommand("tokenize", "Print the tokens of each line, space-separated");
    tok->add_option("--input", input, "Text file (- for standard input)")->capture_default_str();
    return tok;
}

int command_line_error(const Error& e) {
    std::cerr << "错误：命令行参数无效：" << e.chinese() << "\nerror: invalid command line: " << e.english()
              << "\n(run with --help for usage)" << std::endl;
    return 2;
}

// The exit status when the command line ends the run (help, version, a
// mistake); nothing when there is work to do.
std::optional<int> parse(CLI::App& app, const Subcommands& s, const Arguments& a, int argc, char** argv) {
    try {
        app.parse(argc, argv);
        if (*s.eval && a.eval.table.empty() && (a.eval.reviews.empty() || a.eval.labels.empty()))
            throw CLI::RequiredError("eval needs --reviews and --labels, or --table");
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return command_line_error(Error(e.what(), e.what()));
    }
    return std::nullopt;
}

// Inverted labels are no error (the model is written), but the user must
// hear of them where errors are told.
void warn_of_direction(const LabelDirection& d) {
    if (d.verdict == LabelDirection::Verdict::MayBeInverted)
        std::cerr << "警告：" << d.describe_zh() << "\nwarning: " << d.describe_en() << std::endl;
}

void train(Arguments& a) {
    a.train.features.bits = static_cast<std::uint8_t>(a.bits);
    a.train.features.ngrams = static_cast<std::uint8_t>(a.ngrams);
    a.train.features.char_min = static_cast<std::uint8_t>(a.char_min);
    a.train.features.char_max = static_cast<std::uint8_t>(a.char_max);
    check_feature_options(a.train.features);
    const TrainingStamp stamp{"sentiment " QINGGAN_FENXI_VERSION, training_time(std::getenv("SOURCE_DATE_EPOCH"))};
    const TrainFiles& files = a.train_files;
    const TrainReport report = run_train(files, a.train, stamp, [&](const TrainReport& r) {
        write_to_stream(report_stream({files.model, files.progress}), train_report(r, files));
    });
    warn_of_direction(report.direction);
}

void test(const TestFiles& files) {
    write_to_stream(report_stream({files.out, files.percent}), test_report(run_test(files)));
}

// The input files of the subcommand given, for a message.
std::string inputs_of(const Subcommands& s, const Arguments& a) {
    if (*s.train && !a.train_files.table.empty()) return a.train_files.table;
    if (*s.test && !a.test.table.empty()) return a.test.table + ", " + a.test.model;
    if (*s.train) return a.train_files.reviews + ", " + a.train_files.labels;
    if (*s.test) return a.test.input + ", " + a.test.model;
    if (*s.info) return a.info_model;
    if (*s.explain) return a.explain.input + ", " + a.explain.model;
    if (*s.eval) return a.eval.table.empty() ? a.eval.reviews + ", " + a.eval.labels : a.eval.table;
    return a.tokenize_input;
}

int run(const Subcommands& s, Arguments& a) {
    try {
        if (*s.train) {
            train(a);
        } else if (*s.test) {
            test(a.test);
        } else if (*s.eval) {
            write_to_stream(StandardStream::Output, eval_report(run_eval(a.eval, a.eval_model)));
        } else if (*s.tokenize) {
            run_tokenize(a.tokenize_input);
        } else if (*s.explain) {
            run_explain(a.explain, [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); });
            if (std::fflush(stdout) != 0 || std::ferror(stdout)) throw Error("cannot write the output", "写出失败");
        } else if (*s.info) {
            write_to_stream(StandardStream::Output, run_info(a.info_model));
        }
    } catch (const Error& e) {
        return fail(e);
    } catch (const std::bad_alloc&) {
        const std::string files = inputs_of(s, a);
        return fail(Error("out of memory (while working on " + files + ")", "内存不足（处理 " + files + " 时）"));
    } catch (const std::exception& e) {
        return fail(Error(std::string("unexpected error: ") + e.what(), std::string("意外错误：") + e.what()));
    }
    return 0;
}

// What CLI11 printed (help, version) waits in the C library's buffer until
// now; a failure to write it is an error like any other.
int finish_standard_output(int status) {
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    const int failed = fail(cannot_write_stream(StandardStream::Output, errno ? std::strerror(errno) : "write error"));
    return status == 0 ? failed : status;
}

}  // namespace

int main(int argc, char** argv) {
    Utf8Arguments utf8_arguments(argc, argv);
    CLI::App app{"情感分析 worker: trains a sentiment classifier on labelled reviews and judges new ones"};
    app.require_subcommand(1);
    app.set_help_all_flag("--help-all", "Print help for every subcommand");
    app.set_version_flag("--version", "sentiment " QINGGAN_FENXI_VERSION);
    Arguments a;
    // In this order in the help.
    const Subcommands s{add_train(app, a), add_test(app, a.test), add_eval(app, a), add_tokenize(app, a.tokenize_input),
                        add_info(app, a.info_model), add_explain(app, a.explain)};
    if (const std::optional<int> status = parse(app, s, a, argc, argv)) return finish_standard_output(*status);
    try {
        if (*s.train) a.train.memory_budget = parse_memory_mb(a.memory_mb) << 20;
        a.train.firm_budget = a.train.memory_budget > 0;
    } catch (const Error& e) {
        return finish_standard_output(command_line_error(e));
    }
    return finish_standard_output(run(s, a));
}
