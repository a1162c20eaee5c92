// sentiment: trains and applies the review classifier for 情感分析.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <string>

#include "commands.h"
#include "project_version.h"
#include "text/errors.h"
#include "utf8_arguments.h"

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

// CLI11 would wrap "-1" and numbers past 2^64 around without a word.
const CLI::Validator kSeedRange(
    [](std::string& text) -> std::string {
        static const std::string largest = "18446744073709551615";
        const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
        if (digits && (text.size() < largest.size() || (text.size() == largest.size() && text <= largest))) return {};
        return "--seed must be a whole number from 0 to " + largest + ", not " + text;
    },
    "0.." + std::string("18446744073709551615"));

}  // namespace

int main(int argc, char** argv) {
    Utf8Arguments utf8_arguments(argc, argv);
    CLI::App app{"情感分析 worker: trains a sentiment classifier on labelled reviews and judges new ones"};
    app.require_subcommand(1);
    app.set_help_all_flag("--help-all", "Print help for every subcommand");
    app.set_version_flag("--version", "sentiment " QINGGAN_FENXI_VERSION);

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
    train->add_option("--seed", to.seed, "Random seed; the same seed gives the same model")->capture_default_str()
        ->check(kSeedRange);
    train->add_option("--svm-c", to.svm_c, "SVM cost of a margin violation")->capture_default_str()
        ->check(CLI::Range(1e-6, 1e6));
    train->add_option("--interpolation", to.interpolation, "Share of the SVM in its mix with naive Bayes when there are too few reviews to choose it by cross-validation")
        ->capture_default_str()->check(CLI::Range(0.0, 1.0));
    train->add_option("--nb-alpha", to.nb_smoothing, "Smoothing of the naive Bayes counts")->capture_default_str()
        ->check(CLI::Range(1e-3, 100.0));
    train->add_option("--holdout", to.holdout, "Share of reviews set aside to measure a model learnt from the file block by block; 0 also turns off the cross-validation that picks the NB interpolation and the probability scale")
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

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::string msg = e.what();
        std::cerr << "错误：命令行参数无效：" << msg << "\nerror: invalid command line: " << msg
                  << "\n(run with --help for usage)" << std::endl;
        return 2;
    }

    try {
        if (*train) {
            to.features.bits = static_cast<std::uint8_t>(bits);
            to.features.ngrams = static_cast<std::uint8_t>(ngrams);
            to.features.char_min = static_cast<std::uint8_t>(char_min);
            to.features.char_max = static_cast<std::uint8_t>(char_max);
            check_feature_options(to.features);
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
            run_tokenize(tok_input);
        }
    } catch (const Error& e) {
        return fail(e.chinese(), e.english());
    } catch (const std::bad_alloc&) {
        const std::string files = *train ? tf.reviews + ", " + tf.labels
                                  : *test ? sf.input + ", " + sf.model
                                  : *eval ? ev_reviews + ", " + ev_labels : tok_input;
        return fail("内存不足（处理 " + files + " 时）", "out of memory (while working on " + files + ")");
    } catch (const std::exception& e) {
        return fail(std::string("意外错误：") + e.what(), std::string("unexpected error: ") + e.what());
    }
    return 0;
}
