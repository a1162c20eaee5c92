#include "model_report.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "text/errors.h"

namespace sentiment {

namespace {

std::string real(const char* format, double x) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, x);
    return buf;
}

// As they are given on the command line, so that they can be given again.
// Threads are left out: the model does not depend on them.
std::string options_text(const TrainOptions& o) {
    return "--seed " + std::to_string(o.seed) + " --svm-c " + real("%g", o.svm_c) + " --nb-alpha " +
           real("%g", o.nb_smoothing) + " --interpolation " + real("%g", o.interpolation) + " --holdout " +
           real("%g", o.holdout) + " --memory " + std::to_string(o.memory_budget >> 20) + " --bits " +
           std::to_string(o.features.bits) + " --ngrams " + std::to_string(o.features.ngrams) + " --char-min " +
           std::to_string(o.features.char_min) + " --char-max " + std::to_string(o.features.char_max);
}

const char* validation_name(Validation v) {
    switch (v) {
    case Validation::CrossValidated: return "cross-validated";
    case Validation::HeldOut: return "held-out";
    case Validation::TooFewDistinct: return "too-few-distinct";
    case Validation::None: break;
    }
    return "none";
}

// When the file was last written, from the file system's clock.
std::optional<std::int64_t> last_written(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_time_type t = fs::last_write_time(fs::u8path(path), ec);
    if (ec) return std::nullopt;
    const auto since = std::chrono::duration_cast<std::chrono::system_clock::duration>(t - fs::file_time_type::clock::now());
    const auto when = std::chrono::system_clock::now() + since;
    return std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
}

std::string features_text(const Model& m) {
    std::size_t nonzero = 0;
    for (float w : m.weights) nonzero += w != 0.0f;
    const FeatureOptions& f = m.features;
    std::string s = "2^" + std::to_string(f.bits) + " buckets; n-grams of up to " + std::to_string(f.ngrams) +
                    " words or Chinese characters; ";
    s += f.char_max ? "letter n-grams of " + std::to_string(f.char_min) + " to " + std::to_string(f.char_max) +
                          " inside words; "
                    : "no letter n-grams; ";
    return s + thousands(nonzero) + " non-zero weights; bias " + real("%.4f", m.bias);
}

std::string accuracy_text(const ModelInfo& i) {
    if (i.validation == "cross-validated")
        return real("%.4f", i.accuracy) + ", cross-validated: each of " + thousands(i.validated) +
               " reviews judged by a model that had not learnt it; NB interpolation " + real("%.2f", i.interpolation);
    if (i.validation == "held-out")
        return real("%.4f", i.accuracy) + ", held out: each of " + thousands(i.validated) +
               " reviews set aside judged by a model that had not learnt it";
    if (i.validation == "too-few-distinct")
        return "not measured (too few different reviews of each class to judge any by a model that had not learnt it)";
    return "not measured (too few reviews to set any aside)";
}

std::string learnt_text(const ModelInfo& i) {
    std::string s = thousands(i.reviews()) + " reviews, " + thousands(i.positive) + " 好评 positive and " +
                    thousands(i.negative) + " 差评 negative";
    if (i.left_out > 0) s += "; " + thousands(i.left_out) + " rated 3 stars left out";
    if (i.without_text > 0) s += "; " + thousands(i.without_text) + " rows without review text left out";
    return s;
}

std::string describe_record(const Model& m, const std::string& path) {
    const ModelInfo& i = *m.info;
    std::string s = "model: " + path + ", format 2 (weights and a record of the training)\n";
    s += "trained: " + utc_text(i.trained) + " by " + i.producer +
         (i.trained_from_source_date_epoch ? " (the time SOURCE_DATE_EPOCH gave)" : "") + "\n";
    s += "learnt from: " + learnt_text(i) + "\n";
    s += "labels: " + i.label_mapping + "\nlabels read as " + i.label_reading + "\n";
    s += "input: " + i.input + "\noptions: " + i.options + "\nlearner: " + i.learner + "\n";
    s += "accuracy: " + accuracy_text(i) + "\n";
    if (!i.labels_check.empty()) s += "labels check: " + i.labels_check + "\n";
    return s + "features: " + features_text(m) + "\n";
}

}  // namespace

ModelInfo training_record(const TrainingFacts& f) {
    ModelInfo i;
    i.trained = f.stamp.time.seconds;
    i.trained_from_source_date_epoch = f.stamp.time.from_source_date_epoch;
    i.producer = f.stamp.producer;
    i.positive = f.labels.positive();
    i.negative = f.labels.negative();
    i.left_out = f.labels.left_out();
    i.without_text = f.input.without_text;
    i.label_mapping = f.labels.mapping();
    i.label_reading = f.labels.reading_en();
    i.input = f.input.table ? "a table: " + f.input.table->describe_en() : "a reviews file and a labels file";
    i.options = options_text(f.options);
    i.learner = std::string(solver_path_name(f.result.path)) +
                (f.result.path_reason.empty() ? "" : ": " + f.result.path_reason);
    i.validation = validation_name(f.result.validation);
    i.accuracy = f.result.accuracy;
    i.validated = f.result.validated;
    i.interpolation = f.result.interpolation;
    i.labels_check = f.labels_check;
    return i;
}

std::string model_to_replace(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::u8path(path), ec)) return {};
    try {
        const Model old = load_model(path, path);
        if (old.info)
            return "the model trained " + utc_text(old.info->trained) + " by " + old.info->producer + " from " +
                   thousands(old.info->reviews()) + " reviews";
        const std::optional<std::int64_t> when = last_written(path);
        return "a model of format 1, which records nothing of its training" +
               (when ? ", last written " + utc_text(*when) : std::string());
    } catch (const Error& e) {
        return path + ", which was no usable model (" + e.english() + ")";
    }
}

std::string describe_model(const Model& m, const std::string& path) {
    if (m.info) return describe_record(m, path);
    std::string s = "model: " + path + ", format 1 (weights only, as sentiment 1.0 and earlier wrote them)\n";
    s += "features: " + features_text(m) + "\n";
    if (const std::optional<std::int64_t> when = last_written(path)) s += "file last written: " + utc_text(*when) + "\n";
    return s + "not recorded: when and by which version it was trained, how many reviews of each class it learnt "
               "from, how their labels were read, the options and the accuracy training measured; format 1 kept only "
               "the weights, and training again records them all\n";
}

}  // namespace sentiment
