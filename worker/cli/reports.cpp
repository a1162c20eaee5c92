#include "reports.h"

#include <algorithm>
#include <cstdio>

#include "io/standard_streams.h"
#include "learn/memory_budget.h"

namespace sentiment {

namespace {

// printf into a string, for reports written as a whole and checked.
template <class... Values>
void appendf(std::string& out, const char* format, Values... values) {
    char line[256];
    const int n = std::snprintf(line, sizeof line, format, values...);
    out.append(line, static_cast<std::size_t>(std::clamp(n, 0, int(sizeof line) - 1)));
}

void tell_input(std::string& out, const TrainFiles& files, const InputSummary& in) {
    if (!in.table) return;
    if (in.pair_was_table)
        out += files.reviews + " and " + files.labels + " hold the same table, read as one: " + in.table->describe_en() +
               "\n";
    else
        out += "read " + files.table + " as a table: " + in.table->describe_en() + "\n";
    out += thousands(in.rows) + " rows";
    if (in.blank_rows > 0) out += "; " + thousands(in.blank_rows) + " blank rows passed over";
    if (in.without_text > 0) out += "; " + thousands(in.without_text) + " rows without review text left out";
    out += "\n";
}

void tell_labels(std::string& out, const LabelTally& t) {
    out += "learnt from " + thousands(t.positive() + t.negative()) + " reviews: " + thousands(t.positive()) +
           " 好评 positive, " + thousands(t.negative()) + " 差评 negative";
    if (t.reading == LabelReading::Stars) out += "; " + thousands(t.left_out()) + " rated 3 stars left out";
    out += "\nlabels: " + t.mapping() + "\nlabels read as " + t.reading_en() + "\n";
}

// The budget and the most the run held, which may be more: the program
// itself, and a budget below what either path needs.
std::string budget_and_peak(std::uint64_t budget, std::uint64_t peak) {
    const std::string mb = std::to_string(budget >> 20) + " MB";
    if (peak == 0) return "with a budget of " + mb + " (peak memory unknown)";
    const std::string held = ", peak resident memory " + std::to_string((peak + (1 << 20) - 1) >> 20) + " MB";
    return (peak > budget ? "over a budget of " : "within a budget of ") + mb + held;
}

void tell_validation(std::string& out, const TrainResult& r) {
    if (r.validation == Validation::CrossValidated)
        appendf(out, "cross-validated accuracy: %.4f (%zu reviews, each judged by a model that had not learnt it; NB interpolation %.2f)\n",
                r.accuracy, r.validated, r.interpolation);
    else if (r.validation == Validation::HeldOut && r.set_aside > r.validated)
        appendf(out, "held-out accuracy: %.4f (%s of the %s reviews set aside, taken evenly from each class, each judged "
                "by a model that had not learnt it)\n", r.accuracy, thousands(r.validated).c_str(),
                thousands(r.set_aside).c_str());
    else if (r.validation == Validation::HeldOut)
        appendf(out, "held-out accuracy: %.4f (%zu reviews set aside, each judged by a model that had not learnt it)\n",
                r.accuracy, r.validated);
    else if (r.validation == Validation::TooFewDistinct)
        out += "no accuracy measured (too few different reviews of each class to judge any by a model that had not "
               "learnt it)\n";
    else
        out += "no accuracy measured (too few reviews to set any aside)\n";
}

}  // namespace

std::string train_report(const TrainReport& report, const TrainFiles& files) {
    const TrainResult& r = report.result;
    std::string out = "model written to " + output_display_name(files.model);
    if (!report.replaced.empty()) out += ", replacing " + report.replaced;
    out += "\n";
    tell_input(out, files, report.input);
    tell_labels(out, report.labels);
    out += std::string("trained ") + solver_path_name(r.path) + " " + budget_and_peak(r.budget, peak_resident_bytes()) +
           (r.path_reason.empty() ? "" : ": " + r.path_reason) + "\n";
    tell_validation(out, r);
    out += "labels check: " + report.direction.describe_en() + "\n";
    return out;
}

std::string test_report(const TestSummary& t) {
    std::string out;
    appendf(out, "judged %zu lines, %zu positive (%s%%)\n", t.counted, t.positive, t.percent.c_str());
    return out;
}

std::string eval_report(const Evaluation& e) {
    std::string out;
    appendf(out, "reviews: %llu\n", static_cast<unsigned long long>(e.total()));
    if (e.left_out > 0) out += "left out: " + thousands(e.left_out) + " rated 3 stars\n";
    if (e.without_text > 0) out += "left out: " + thousands(e.without_text) + " rows without review text\n";
    appendf(out, "accuracy: %.4f\n", e.accuracy());
    const char* names[2] = {"negative", "positive"};
    appendf(out, "%-9s %9s %9s %9s\n", "class", "precision", "recall", "f1");
    for (int c = 1; c >= 0; --c) appendf(out, "%-9s %9.4f %9.4f %9.4f\n", names[c], e.precision(c), e.recall(c), e.f1(c));
    appendf(out, "confusion (rows: true class, columns: predicted)\n");
    appendf(out, "%-9s %9s %9s\n", "", "positive", "negative");
    for (int t = 1; t >= 0; --t)
        appendf(out, "%-9s %9llu %9llu\n", names[t], static_cast<unsigned long long>(e.confusion[t][1]),
                static_cast<unsigned long long>(e.confusion[t][0]));
    return out;
}

}  // namespace sentiment
