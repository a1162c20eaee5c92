#include <gtest/gtest.h>

#include <chrono>

#include "commands.h"
#include "features/model.h"
#include "features/model_info.h"
#include "test_support.h"

using namespace sentiment;

namespace {

std::string data_path(std::string_view name) { return std::string(WORKER_TEST_DATA) + "/" + std::string(name); }

// A model written by sentiment 1.0, before models carried anything but their
// weights, with what that version's `test` wrote for the sample reviews.
TEST(OldModels, LoadAndJudgeExactlyAsWhenTheyWereMade) {
    TempDir dir;
    TestFiles files;
    files.input = sample_path("sample-reviews.txt");
    files.model = data_path("model-v1-sample.model");
    files.out = dir.file("out.txt");
    files.percent = dir.file("percent.txt");
    const TestSummary s = run_test(files);
    EXPECT_EQ(s.lines, 323u);
    EXPECT_EQ(dir.read("out.txt"), read_bytes(data_path("model-v1-sample-reviews.out")));
    EXPECT_EQ(dir.read("percent.txt"), "49.54");
}

// The record of training changes nothing that judging reads: the model of
// today's defaults on the sample judges exactly as the one sentiment 1.0 made.
TEST(OldModels, TodaysModelOfTheSameReviewsJudgesAlike) {
    TempDir dir;
    dir.write("reviews.txt", read_bytes(sample_path("sample-reviews.txt")));
    dir.write("labels.txt", read_bytes(sample_path("sample-labels.txt")));
    ASSERT_EQ(run_tool(dir, "train").status, 0);
    EXPECT_EQ(dir.read("sentiment.model").substr(8, 1), std::string(1, '\x02'));
    dir.write("test.txt", read_bytes(sample_path("sample-reviews.txt")));
    ASSERT_EQ(run_tool(dir, "test").status, 0);
    EXPECT_EQ(dir.read("out.txt"), read_bytes(data_path("model-v1-sample-reviews.out")));
}

ModelInfo full_record() {
    ModelInfo i;
    i.trained = 1765000000;
    i.trained_from_source_date_epoch = true;
    i.producer = "sentiment 9.9";
    i.positive = 3120;
    i.negative = 880;
    i.left_out = 412;
    i.without_text = 7;
    i.label_mapping = "5, 4 → 好评 positive (3,120); 1, 2 → 差评 negative (880); 3 left out (412)";
    i.label_reading = "star ratings";
    i.input = "a table: CSV (comma), GB18030, 4 columns; reviews: column 4 \"评价\" (by its name)";
    i.options = "--seed 7 --bits 18";
    i.learner = "in memory (NBSVM)";
    i.validation = "cross-validated";
    i.accuracy = 0.1 + 0.2;  // not exactly 0.3: the text must keep every bit
    i.validated = 4000;
    i.interpolation = 0.25;
    i.labels_check = "the labels point the right way";
    return i;
}

Model small_model(bool with_info) {
    Model m;
    m.features = FeatureOptions{10, 2, 2, 3};
    m.bias = -0.25f;
    m.weights.assign(1u << 10, 0.0f);
    m.weights[3] = 1.5f;
    m.weights[700] = -2.0f;
    if (with_info) m.info = full_record();
    return m;
}

void expect_same(const ModelInfo& a, const ModelInfo& b) {
    EXPECT_EQ(a.trained, b.trained);
    EXPECT_EQ(a.trained_from_source_date_epoch, b.trained_from_source_date_epoch);
    EXPECT_EQ(a.producer, b.producer);
    EXPECT_EQ(a.positive, b.positive);
    EXPECT_EQ(a.negative, b.negative);
    EXPECT_EQ(a.left_out, b.left_out);
    EXPECT_EQ(a.without_text, b.without_text);
    EXPECT_EQ(a.label_mapping, b.label_mapping);
    EXPECT_EQ(a.label_reading, b.label_reading);
    EXPECT_EQ(a.input, b.input);
    EXPECT_EQ(a.options, b.options);
    EXPECT_EQ(a.learner, b.learner);
    EXPECT_EQ(a.validation, b.validation);
    EXPECT_EQ(a.accuracy, b.accuracy);
    EXPECT_EQ(a.validated, b.validated);
    EXPECT_EQ(a.interpolation, b.interpolation);
    EXPECT_EQ(a.labels_check, b.labels_check);
}

TEST(ModelRecord, RoundTripsAfterWeightsThatStayAsTheyWere) {
    const std::string with = serialize_model(small_model(true));
    const std::string without = serialize_model(small_model(false));
    EXPECT_EQ(with[8], 2);
    EXPECT_EQ(without[8], 1);
    // Past the version, the weights and their checksum's span are the same
    // bytes; only the checksum (which covers the version) and the record differ.
    const std::size_t weights = 24 + 2 * 8;
    EXPECT_EQ(with.substr(12, weights - 12), without.substr(12, weights - 12));
    const Model back = parse_model(with, "m.model");
    ASSERT_TRUE(back.info.has_value());
    expect_same(*back.info, full_record());
    EXPECT_EQ(back.weights, small_model(true).weights);
    EXPECT_EQ(serialize_model(back), with);
    EXPECT_FALSE(parse_model(without, "m.model").info.has_value());
}

TEST(ModelRecord, EveryTruncationAndFlippedByteIsRefused) {
    const std::string bytes = serialize_model(small_model(true));
    for (std::size_t n = 0; n < bytes.size(); ++n)
        EXPECT_FALSE(error_of([&] { parse_model(bytes.substr(0, n), "m.model"); }).english.empty()) << n << " bytes";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::string damaged = bytes;
        damaged[i] = static_cast<char>(damaged[i] ^ 0x40);
        EXPECT_FALSE(error_of([&] { parse_model(damaged, "m.model"); }).english.empty()) << "a flip at byte " << i;
    }
}

TEST(ModelRecord, ItsLengthIsCheckedBeforeTheRestIsRead) {
    std::string bytes = serialize_model(small_model(true));
    expect_error(error_of([&] { parse_model(bytes + std::string(70000, 'x'), "m.model"); }),
                 "m.model: not a usable model file: expected 60 to 65596 bytes, found", "应为 60 到 65596 字节");
    const std::size_t length_at = 24 + 2 * 8 + 8;
    bytes[length_at] = static_cast<char>(bytes[length_at] + 1);
    expect_error(error_of([&] { parse_model(bytes, "m.model"); }), "its record of training announces", "训练记录声明");
}

TEST(ModelRecord, LaterKeysArePassedOverAndBadNumbersRefused) {
    const ModelInfo later = parse_info("trained=5\nweather=sunny\npositive=2\n", "m.model");
    EXPECT_EQ(later.trained, 5);
    EXPECT_EQ(later.positive, 2u);
    expect_error(error_of([] { parse_info("positive=two\n", "m.model"); }),
                 "m.model: not a usable model file: its record of training holds \"two\" for positive", "positive 的值为");
    expect_error(error_of([] { parse_info("accuracy=0.9x\n", "m.model"); }), "holds \"0.9x\" for accuracy", "accuracy");
    expect_error(error_of([] { parse_info("trained=5", "m.model"); }), "for the last line", "模型文件不可用");
}

TEST(ModelRecord, ValuesKeepToOneLine) {
    ModelInfo i;
    i.input = "a\nb\rc";
    const std::string text = serialize_info(i);
    EXPECT_NE(text.find("input=a b c\n"), std::string::npos) << text;
    EXPECT_EQ(parse_info(text, "m.model").input, "a b c");
}

TEST(ModelRecord, TimesReadAsUtcDates) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "1970-01-01 00:00:00 UTC"},          {951782400, "2000-02-29 00:00:00 UTC"},
        {-1, "1969-12-31 23:59:59 UTC"},         {1765000000, "2025-12-06 05:46:40 UTC"},
        {4107542399, "2100-02-28 23:59:59 UTC"}, {253402300799, "9999-12-31 23:59:59 UTC"}};
    for (const auto& [seconds, text] : cases) EXPECT_EQ(utc_text(seconds), text) << seconds;
}

TEST(ModelRecord, SourceDateEpochIsAWholeNumberOfSeconds) {
    EXPECT_EQ(training_time("1765000000").seconds, 1765000000);
    EXPECT_TRUE(training_time("0").from_source_date_epoch);
    for (const char* bad : {"", "-5", "12a", " 12", "1.5", "253402300800", "99999999999999999999"})
        expect_error(error_of([&] { training_time(bad); }), "SOURCE_DATE_EPOCH is \"", "SOURCE_DATE_EPOCH 的值为");
    const TrainingTime now = training_time(nullptr);
    EXPECT_FALSE(now.from_source_date_epoch);
    const auto clock = std::chrono::duration_cast<std::chrono::seconds>(
                           std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_LE(std::abs(now.seconds - clock), 5);
}

class Recorded : public ::testing::Test {
protected:
    void SetUp() override {
        dir.write("reviews.txt", read_bytes(sample_path("sample-reviews.txt")));
        dir.write("labels.txt", read_bytes(sample_path("sample-labels.txt")));
    }
    TempDir dir;
};

TEST_F(Recorded, SameFilesSeedAndSourceDateEpochGiveByteIdenticalModels) {
    ASSERT_EQ(run_shell(dir, "SOURCE_DATE_EPOCH=1765000000 '" SENTIMENT_TOOL "' train --model a.model").status, 0);
    ASSERT_EQ(run_shell(dir, "SOURCE_DATE_EPOCH=1765000000 '" SENTIMENT_TOOL "' train --model b.model").status, 0);
    EXPECT_EQ(dir.read("a.model"), dir.read("b.model"));
    ASSERT_EQ(run_shell(dir, "SOURCE_DATE_EPOCH=1765000001 '" SENTIMENT_TOOL "' train --model c.model").status, 0);
    EXPECT_NE(dir.read("a.model"), dir.read("c.model"));
    RunResult bad = run_shell(dir, "SOURCE_DATE_EPOCH=yesterday '" SENTIMENT_TOOL "' train --model a.model");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("error: SOURCE_DATE_EPOCH is \"yesterday\""), std::string::npos) << bad.err;
}

TEST_F(Recorded, InfoTellsWhatTheModelRecords) {
    // The sample's labels as stars: positive 5, negative 1, every 10th a 3.
    std::string stars;
    std::size_t n = 0;
    for (const std::string& l : lines_of(dir.read("labels.txt"))) stars += n++ % 10 == 0 ? "3\n" : l == "positive" ? "5\n" : "1\n";
    dir.write("labels.txt", stars);
    ASSERT_EQ(run_shell(dir, "SOURCE_DATE_EPOCH=1765000000 '" SENTIMENT_TOOL "' train --seed 3 --bits 18").status, 0);
    RunResult r = run_tool(dir, "info");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* line :
         {"model: sentiment.model, format 2", "trained: 2025-12-06 05:46:40 UTC by sentiment ",
          "(the time SOURCE_DATE_EPOCH gave)", "learnt from: 290 reviews, ", "; 33 rated 3 stars left out",
          "3 left out (33)", "labels read as star ratings", "input: a reviews file and a labels file",
          "options: --seed 3 --svm-c 0.01 --nb-alpha 1 --interpolation 0.25 --holdout 0.1 --memory 0 --bits 18",
          "learner: in memory (NBSVM)", "accuracy: 0.", ", cross-validated: each of 290 reviews", "features: 2^18 buckets"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << " missing from\n" << r.out;
}

TEST_F(Recorded, InfoOnAnOldModelSaysWhatItCannotKnow) {
    dir.write("sentiment.model", read_bytes(data_path("model-v1-sample.model")));
    RunResult r = run_tool(dir, "info");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("format 1 (weights only"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("features: 2^21 buckets"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("not recorded: when and by which version it was trained, how many reviews of each class"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("\nlearnt from:"), std::string::npos) << r.out;
}

// A second person training in the same folder hears whose model goes.
TEST_F(Recorded, TrainSaysWhatItReplaces) {
    RunResult first = run_tool(dir, "train");
    ASSERT_EQ(first.status, 0);
    EXPECT_NE(first.out.find("model written to sentiment.model\n"), std::string::npos) << first.out;
    ASSERT_EQ(run_shell(dir, "SOURCE_DATE_EPOCH=1765000000 '" SENTIMENT_TOOL "' train").status, 0);
    RunResult again = run_tool(dir, "train");
    EXPECT_NE(again.out.find("model written to sentiment.model, replacing the model trained 2025-12-06 05:46:40 UTC by "
                             "sentiment "),
              std::string::npos)
        << again.out;
    EXPECT_NE(again.out.find(" from 323 reviews\n"), std::string::npos) << again.out;
    dir.write("sentiment.model", read_bytes(data_path("model-v1-sample.model")));
    EXPECT_NE(run_tool(dir, "train").out.find("replacing a model of format 1, which records nothing of its training, "
                                              "last written "),
              std::string::npos);
    dir.write("sentiment.model", "not a model");
    EXPECT_NE(run_tool(dir, "train").out.find("replacing sentiment.model, which was no usable model"), std::string::npos);
}

}  // namespace
