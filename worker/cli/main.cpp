// sentiment: trains and applies the review classifier for 情感分析.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

#include "commands.h"
#include "errors.h"
#include "line_reader.h"
#include "tokenizer.h"

using namespace sentiment;

namespace {

int fail(const std::string& zh, const std::string& en) {
    std::cerr << "错误：" << zh << "\nerror: " << en << std::endl;
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

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"情感分析 worker: trains a sentiment classifier on labelled reviews and judges new ones"};
    app.require_subcommand(1);
    app.set_help_all_flag("--help-all", "Print help for every subcommand");

    TrainFiles tf;
    TrainOptions to;
    int bits = to.features.bits, ngrams = to.features.ngrams, char_min = to.features.char_min,
        char_max = to.features.char_max;
    auto* train = app.add_subcommand("train", "Learn a model from reviews and their labels");
    train->add_option("--reviews", tf.reviews, "Reviews, one per line")->capture_default_str();
    train->add_option("--labels", tf.labels, "Labels, one per line (positive/negative, pos/neg, 1/0, 正面/负面, 好评/差评)")
        ->capture_default_str();
    train->add_option("--model", tf.model, "Model file to write")->capture_default_str();
    train->add_option("--progress", tf.progress, "Progress file: fraction done, 1 when finished")->capture_default_str();
    train->add_option("--seed", to.seed, "Random seed; the same seed gives the same model")->capture_default_str();
    train->add_option("--epochs", to.max_epochs, "Most passes over the reviews")->capture_default_str()->check(CLI::Range(1, 1000));
    train->add_option("--learning-rate", to.learning_rate, "AdaGrad step size")->capture_default_str()->check(CLI::Range(1e-6, 100.0));
    train->add_option("--l2", to.l2, "L2 penalty")->capture_default_str()->check(CLI::Range(0.0, 100.0));
    train->add_option("--nb-weight", to.nb_weight, "Starting weight of each naive Bayes ratio (the model begins as naive Bayes)")
        ->capture_default_str()->check(CLI::Range(0.0, 10.0));
    train->add_option("--svm-c", to.svm_c, "SVM cost of a margin violation")->capture_default_str()
        ->check(CLI::Range(1e-6, 1e6));
    train->add_option("--interpolation", to.interpolation, "Share of the SVM in its mix with naive Bayes when there are too few reviews to choose it by cross-validation")
        ->capture_default_str()->check(CLI::Range(0.0, 1.0));
    train->add_flag("--sgd", to.use_sgd, "Use AdaGrad logistic regression even when the reviews fit in memory")
        ->capture_default_str();
    train->add_option("--nb-alpha", to.nb_smoothing, "Smoothing of the naive Bayes counts")->capture_default_str()
        ->check(CLI::Range(1e-3, 100.0));
    train->add_option("--holdout", to.holdout, "Share of reviews set aside to choose the number of AdaGrad passes (--sgd); 0 also turns off the cross-validation that picks the NB interpolation and the probability scale")
        ->capture_default_str()->check(CLI::Range(0.0, 0.5));
    train->add_option("--threads", to.threads, "Threads hashing reviews too many to keep in memory (0: one per core); "
                      "the model is the same for any number")
        ->capture_default_str()->check(CLI::Range(0u, 64u));
    std::uint64_t memory_mb = 0;
    train->add_option("--memory", memory_mb, "Memory for training in MB (0: a quarter of this machine's, at most 2048); "
                      "reviews that do not fit are re-read from the file each pass")
        ->capture_default_str()->check(CLI::Range(std::uint64_t{0}, std::uint64_t{1} << 22));
    train->add_option("--bits", bits, "log2 of the number of feature buckets")->capture_default_str()
        ->check(CLI::Range(int(kMinBits), int(kMaxBits)));
    train->add_option("--ngrams", ngrams, "Longest word/character n-gram")->capture_default_str()
        ->check(CLI::Range(1, int(kMaxNgrams)));
    train->add_option("--char-min", char_min, "Shortest n-gram of letters inside words (0: none)")->capture_default_str()
        ->check(CLI::Range(0, int(kMaxCharNgram)));
    train->add_option("--char-max", char_max, "Longest n-gram of letters inside words (0: none)")->capture_default_str()
        ->check(CLI::Range(0, int(kMaxCharNgram)));

    TestFiles sf;
    auto* test = app.add_subcommand("test", "Judge each line of a text file with a trained model");
    test->add_option("--input", sf.input, "Sentences to judge, one per line")->capture_default_str();
    test->add_option("--model", sf.model, "Model file")->capture_default_str();
    test->add_option("--out", sf.out, "Output: verdict, probability of positive, text")->capture_default_str();
    test->add_option("--percent", sf.percent, "Output: percentage of lines judged positive")->capture_default_str();

    std::string ev_reviews, ev_labels, ev_model = "sentiment.model";
    auto* eval = app.add_subcommand("eval", "Measure a model on labelled reviews");
    eval->add_option("--reviews", ev_reviews, "Reviews, one per line (required)")->required();
    eval->add_option("--labels", ev_labels, "Labels, one per line (required)")->required();
    eval->add_option("--model", ev_model, "Model file")->capture_default_str();

    std::string tok_input = "test.txt";
    auto* tok = app.add_subcommand("tokenize", "Print the tokens of each line, space-separated");
    tok->add_option("--input", tok_input, "Text file")->capture_default_str();

#ifdef _WIN32
    // argv is in the ANSI code page there; file names are handled as UTF-8.
    std::vector<std::string> utf8_args;
    std::vector<char*> utf8_argv;
    {
        int wargc = 0;
        LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &wargc);
        for (int i = 0; wargv && i < wargc; ++i) {
            int len = WideCharToMultiByte(CP_UTF8, 0, wargv[i], -1, nullptr, 0, nullptr, nullptr);
            std::string s(len > 0 ? len - 1 : 0, '\0');
            if (len > 1) WideCharToMultiByte(CP_UTF8, 0, wargv[i], -1, s.data(), len, nullptr, nullptr);
            utf8_args.push_back(std::move(s));
        }
        if (wargv) LocalFree(wargv);
        for (auto& s : utf8_args) utf8_argv.push_back(s.data());
        if (!utf8_argv.empty()) {
            argc = static_cast<int>(utf8_argv.size());
            argv = utf8_argv.data();
        }
    }
#endif
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::string msg = e.what();
        std::cerr << "错误：命令行参数无效：" << msg << "\nerror: invalid command line: " << msg
                  << "\n(run with --help for usage)" << std::endl;
        return 2;
    }

    try {
        if (*train) {
            if ((char_min == 0) != (char_max == 0) || char_min > char_max)
                return fail("--char-min 与 --char-max 须同时为 0，或满足 1 ≤ char-min ≤ char-max",
                            "--char-min and --char-max must both be 0, or 1 <= char-min <= char-max");
            to.features.bits = static_cast<std::uint8_t>(bits);
            to.features.ngrams = static_cast<std::uint8_t>(ngrams);
            to.features.char_min = static_cast<std::uint8_t>(char_min);
            to.features.char_max = static_cast<std::uint8_t>(char_max);
            to.memory_budget = memory_mb << 20;
            TrainResult r = run_train(tf, to);
            std::printf("model written to %s\n", tf.model.c_str());
            std::printf("trained %s within a budget of %llu MB%s%s\n", solver_path_name(r.path),
                        static_cast<unsigned long long>(r.budget >> 20), r.path_reason.empty() ? "" : ": ",
                        r.path_reason.c_str());
            if (r.validation == Validation::CrossValidated)
                std::printf("cross-validated accuracy: %.4f (%zu reviews, each judged by a model that had not learnt it; NB interpolation %.2f)\n",
                            r.accuracy, r.validated, r.interpolation);
            else if (r.validation == Validation::HeldOut)
                std::printf("held-out accuracy: %.4f (%zu reviews set aside, each judged by a model that had not learnt it)\n",
                            r.accuracy, r.validated);
            else
                std::printf("no accuracy measured (too few reviews to set any aside)\n");
            std::fflush(stdout);
        } else if (*test) {
            TestSummary s = run_test(sf);
            std::printf("judged %zu lines, %zu positive (%s%%)\n", s.counted, s.positive, s.percent.c_str());
        } else if (*eval) {
            print_eval(run_eval(ev_reviews, ev_labels, ev_model));
        } else if (*tok) {
            auto reader = LineReader::open(tok_input, tok_input);
            TokenList tokens;
            std::string_view line;
            std::string out;
            while (reader->next(line)) {
                tokenize(line, tokens);
                out.clear();
                for (std::size_t i = 0; i < tokens.size(); ++i) {
                    if (i) out += ' ';
                    out += tokens[i];
                }
                out += '\n';
                std::fwrite(out.data(), 1, out.size(), stdout);
            }
            if (std::fflush(stdout) != 0) return fail("写出失败", "cannot write the output");
        }
    } catch (const Error& e) {
        return fail(e.chinese(), e.english());
    } catch (const std::bad_alloc&) {
        return fail("内存不足", "out of memory");
    } catch (const std::exception& e) {
        return fail(std::string("意外错误：") + e.what(), std::string("unexpected error: ") + e.what());
    }
    return 0;
}
