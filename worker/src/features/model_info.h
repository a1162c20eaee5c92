#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace sentiment {

// What a model file records of how it was made, beside its weights: when
// and by what, from how many reviews of each class and how their labels
// were read, with which options, and the accuracy training measured.
struct ModelInfo {
    std::int64_t trained = 0;  // seconds since 1970-01-01 UTC
    bool trained_from_source_date_epoch = false;
    std::string producer;  // "sentiment 1.0"
    std::uint64_t positive = 0, negative = 0, left_out = 0, without_text = 0;
    std::string label_mapping;  // LabelTally::mapping()
    std::string label_reading;  // LabelTally::reading_en()
    std::string input;          // a reviews file and a labels file, or the table's layout
    std::string options;        // as given on the command line: "--seed 1 --svm-c 0.01 ..."
    std::string learner;        // "in memory (NBSVM)", and why if not the obvious
    std::string validation;     // "cross-validated", "held-out" or "none"
    double accuracy = -1;
    std::uint64_t validated = 0;
    double interpolation = -1;
    std::string labels_check;  // what the check of the labels' direction found

    std::uint64_t reviews() const { return positive + negative; }
};

// As "key=value" lines of UTF-8; line breaks inside values become spaces.
std::string serialize_info(const ModelInfo& info);
// Keys it does not know are passed over, so that later versions can record
// more. Throws Error naming `name` for a value that is not what its key
// holds.
ModelInfo parse_info(std::string_view text, std::string_view name);

// "2026-12-08 01:49:05 UTC"; the proleptic Gregorian calendar, any year.
std::string utc_text(std::int64_t seconds);

struct TrainingTime {
    std::int64_t seconds = 0;
    bool from_source_date_epoch = false;
};
// The time to record for a training run: SOURCE_DATE_EPOCH's when that is
// set (reproducible builds' convention, so that the same files and seed
// give a byte-identical model), otherwise the clock's. Throws Error for a
// value that is not a whole number of seconds.
TrainingTime training_time(const char* source_date_epoch);

}  // namespace sentiment
