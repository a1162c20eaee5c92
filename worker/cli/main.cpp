// sentiment: trains and applies the review classifier for 情感分析.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "commands.h"
#include "learn/memory_budget.h"
#include "project_version.h"
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
    std::string eval_reviews, eval_labels, eval_model = "sentiment.model";
    std::string tokenize_input = "test.txt";
};

struct Subcommands {
    CLI::App *train, *test, *eval, *tokenize;
};

int fail(const Error& e) {
    std::cerr << "错误：" << e.chinese() << "\nerror: " << e.english() << std::endl;
    return 1;
}

void print_eval(const Evaluation& e) {
    std::printf("reviews: %llu\n", static_cast<unsigned long long>(e.total()));
    std::printf("accuracy: %.4f\n", e.accuracy());
    const char* names[2] = {"negative", "positive"};
    std::printf("%-9s %9s %9s %9s\n", "class", "precision", "recall", "f1");
    for (int c = 1; c >= 0; --c)
        std::printf("%-9s %9.4f %9.4f %9.4f\n", names[c], e.precision(c), e.recall(c), e.f1(c));
    std::printf("confusion (rows: true class, columns: predicted)\n");
    std::printf("%-9s %9s %9s\n", "", "positive", "negative");
    for (int t = 1; t >= 0; --t)
        std::printf("%-9s %9llu %9llu\n", names[t], static_cast<unsigned long long>(e.confusion[t][1]),
                    static_cast<unsigned long long>(e.confusion[t][0]));
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

CLI::App* add_train(CLI::App& app, Arguments& a) {
    CLI::App* train = app.add_subcommand("train", "Learn a model from reviews and their labels");
    train->add_option("--reviews", a.train_files.reviews, "Reviews, one per line")->capture_default_str();
    train->add_option("--labels", a.train_files.labels, "Labels, one per line (positive/negative, pos/neg, 1/0, 正面/负面, 好评/差评)")
        ->capture_default_str();
    train->add_option("--model", a.train_files.model, "Model file to write")->capture_default_str();
    train->add_option("--progress", a.train_files.progress, "Progress file: fraction done, 1 when finished")->capture_default_str();
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
    test->add_option("--input", f.input, "Sentences to judge, one per line")->capture_default_str();
    test->add_option("--model", f.model, "Model file")->capture_default_str();
    test->add_option("--out", f.out, "Output: verdict, probability of positive, text")->capture_default_str();
    test->add_option("--percent", f.percent, "Output: percentage of lines judged positive")->capture_default_str();
    return test;
}

CLI::App* add_eval(CLI::App& app, Arguments& a) {
    CLI::App* eval = app.add_subcommand("eval", "Measure a model on labelled reviews");
    eval->add_option("--reviews", a.eval_reviews, "Reviews, one per line (required)")->required();
    eval->add_option("--labels", a.eval_labels, "Labels, one per line (required)")->required();
    eval->add_option("--model", a.eval_model, "Model file")->capture_default_str();
    return eval;
}

CLI::App* add_tokenize(CLI::App& app, std::string& input) {
    CLI::App* tok = app.add_subcommand("tokenize", "Print the tokens of each line, space-separated");
    tok->add_option("--input", input, "Text file")->capture_default_str();
    return tok;
}

int command_line_error(const Error& e) {
    std::cerr << "错误：命令行参数无效：" << e.chinese() << "\nerror: invalid command line: " << e.english()
              << "\n(run with --help for usage)" << std::endl;
    return 2;
}

// The exit status when the command line ends the run (help, version, a
// mistake); nothing when there is work to do.
std::optional<int> parse(CLI::App& app, int argc, char** argv) {
    try {
        app.parse(argc, argv);
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

// The budget and the most the run held, which may be more: the program
// itself, and a budget below what either path needs.
std::string budget_and_peak(std::uint64_t budget, std::uint64_t peak) {
    const std::string mb = std::to_string(budget >> 20) + " MB";
    if (peak == 0) return "with a budget of " + mb + " (peak memory unknown)";
    const std::string held = ", peak resident memory " + std::to_string((peak + (1 << 20) - 1) >> 20) + " MB";
    return (peak > budget ? "over a budget of " : "within a budget of ") + mb + held;
}

void train(Arguments& a) {
    a.train.features.bits = static_cast<std::uint8_t>(a.bits);
    a.train.features.ngrams = static_cast<std::uint8_t>(a.ngrams);
    a.train.features.char_min = static_cast<std::uint8_t>(a.char_min);
    a.train.features.char_max = static_cast<std::uint8_t>(a.char_max);
    check_feature_options(a.train.features);
    const TrainResult r = run_train(a.train_files, a.train);
    std::printf("model written to %s\n", a.train_files.model.c_str());
    std::printf("trained %s %s%s\n", solver_path_name(r.path), budget_and_peak(r.budget, peak_resident_bytes()).c_str(),
                (r.path_reason.empty() ? "" : ": " + r.path_reason).c_str());
    if (r.validation == Validation::CrossValidated)
        std::printf("cross-validated accuracy: %.4f (%zu reviews, each judged by a model that had not learnt it; NB interpolation %.2f)\n",
                    r.accuracy, r.validated, r.interpolation);
    else if (r.validation == Validation::HeldOut)
        std::printf("held-out accuracy: %.4f (%zu reviews set aside, each judged by a model that had not learnt it)\n",
                    r.accuracy, r.validated);
    else if (r.validation == Validation::TooFewDistinct)
        std::printf("no accuracy measured (too few different reviews of each class to judge any by a model that "
                    "had not learnt it)\n");
    else
        std::printf("no accuracy measured (too few reviews to set any aside)\n");
    std::fflush(stdout);
}

// The input files of the subcommand given, for a message.
std::string inputs_of(const Subcommands& s, const Arguments& a) {
    if (*s.train) return a.train_files.reviews + ", " + a.train_files.labels;
    if (*s.test) return a.test.input + ", " + a.test.model;
    if (*s.eval) return a.eval_reviews + ", " + a.eval_labels;
    return a.tokenize_input;
}

int run(const Subcommands& s, Arguments& a) {
    try {
        if (*s.train) {
            train(a);
        } else if (*s.test) {
            const TestSummary t = run_test(a.test);
            std::printf("judged %zu lines, %zu positive (%s%%)\n", t.counted, t.positive, t.percent.c_str());
        } else if (*s.eval) {
            print_eval(run_eval(a.eval_reviews, a.eval_labels, a.eval_model));
        } else if (*s.tokenize) {
            run_tokenize(a.tokenize_input);
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

}  // namespace

int main(int argc, char** argv) {
    Utf8Arguments utf8_arguments(argc, argv);
    CLI::App app{"情感分析 worker: trains a sentiment classifier on labelled reviews and judges new ones"};
    app.require_subcommand(1);
    app.set_help_all_flag("--help-all", "Print help for every subcommand");
    app.set_version_flag("--version", "sentiment " QINGGAN_FENXI_VERSION);
    Arguments a;
    // In this order in the help.
    const Subcommands s{add_train(app, a), add_test(app, a.test), add_eval(app, a), add_tokenize(app, a.tokenize_input)};
    if (const std::optional<int> status = parse(app, argc, argv)) return *status;
    try {
        if (*s.train) a.train.memory_budget = parse_memory_mb(a.memory_mb) << 20;
    } catch (const Error& e) {
        return command_line_error(e);
    }
    return run(s, a);
}
