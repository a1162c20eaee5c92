#include <gtest/gtest.h>

#include <cmath>

#include "features/model.h"
#include "io/line_reader.h"
#include "text/errors.h"
#include "trainer.h"

using namespace sentiment;

namespace {

Model small_model() {
    Model m;
    m.features.bits = 10;
    m.features.ngrams = 2;
    m.features.char_min = 2;
    m.features.char_max = 3;
    m.bias = -0.25f;
    m.weights.assign(1u << 10, 0.0f);
    m.weights[3] = 1.5f;
    m.weights[512] = -2.0f;
    m.weights[1023] = 0.125f;
    return m;
}

std::string message_of(std::string_view bytes) {
    try {
        parse_model(bytes, "m.model");
    } catch (const Error& e) {
        EXPECT_NE(e.chinese().find("m.model"), std::string::npos);
        return e.what();
    }
    return "";
}

TEST(ModelFile, RoundTripsExactly) {
    Model m = small_model();
    std::string bytes = serialize_model(m);
    EXPECT_EQ(bytes.substr(0, 8), "SENTIMDL");
    Model back = parse_model(bytes, "m.model");
    EXPECT_EQ(back.weights, m.weights);
    EXPECT_EQ(back.bias, m.bias);
    EXPECT_EQ(back.features.bits, 10);
    EXPECT_EQ(back.features.ngrams, 2);
    EXPECT_EQ(back.features.char_min, 2);
    EXPECT_EQ(back.features.char_max, 3);
    EXPECT_EQ(serialize_model(back), bytes);
    EXPECT_EQ(bytes.size(), 24u + 3u * 8u + 8u);  // only non-zero weights are stored
}

TEST(ModelFile, EveryTruncationIsRefused) {
    std::string bytes = serialize_model(small_model());
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        std::string msg = message_of(std::string_view(bytes).substr(0, n));
        EXPECT_FALSE(msg.empty()) << "accepted " << n << " bytes";
    }
    EXPECT_NE(message_of(bytes.substr(0, 30)).find("truncated"), std::string::npos);
}

TEST(ModelFile, EveryFlippedByteIsRefused) {
    std::string bytes = serialize_model(small_model());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::string damaged = bytes;
        damaged[i] = static_cast<char>(damaged[i] ^ 0x40);
        EXPECT_FALSE(message_of(damaged).empty()) << "accepted a flip at byte " << i;
    }
}

TEST(ModelFile, ForeignFileSaysWhatWasExpected) {
    std::string msg = message_of("PK\x03\x04 this is a zip file, honestly");
    EXPECT_NE(msg.find("expected a file starting with \"SENTIMDL\""), std::string::npos) << msg;
    EXPECT_NE(msg.find("found \"PK\\x03\\x04"), std::string::npos) << msg;
    EXPECT_NE(message_of("").find("expected a file starting"), std::string::npos);
}

TEST(ModelFile, OtherVersionIsNamed) {
    std::string bytes = serialize_model(small_model());
    bytes[8] = 7;
    EXPECT_NE(message_of(bytes).find("format version 7, expected version 1 or 2"), std::string::npos);
}

TEST(ModelFile, HugeCountIsRefusedBeforeAllocating) {
    std::string bytes = serialize_model(small_model());
    for (int k = 0; k < 4; ++k) bytes[20 + k] = '\xFF';
    EXPECT_NE(message_of(bytes).find("announces 4294967295 weights"), std::string::npos);
}

TEST(ModelFile, ExtraBytesAreRefused) {
    std::string bytes = serialize_model(small_model()) + "x";
    EXPECT_NE(message_of(bytes).find("expected 56 bytes, found 57"), std::string::npos);
}

TEST(ModelFile, ScoresAreTheSumOfBucketWeights) {
    Model m = small_model();
    EXPECT_DOUBLE_EQ(m.score({3, 512}), -0.25 + 1.5 - 2.0);
    EXPECT_NEAR(m.probability({}), 1.0 / (1.0 + std::exp(0.25)), 1e-9);
}

}  // namespace

namespace {

// The one rule for feature settings, as the trainer and the loader apply it.
TEST(FeatureOptions, OneRuleForTrainerAndLoader) {
    struct Case {
        std::uint8_t bits, ngrams, char_min, char_max;
        const char* says;  // nullptr: valid
    };
    const Case cases[] = {
        {8, 1, 0, 0, nullptr},   {24, 6, 1, 10, nullptr}, {21, 3, 3, 5, nullptr}, {7, 3, 3, 5, "--bits"},
        {25, 3, 3, 5, "--bits"}, {21, 0, 3, 5, "--ngrams"}, {21, 7, 3, 5, "--ngrams"}, {21, 3, 0, 5, "--char-min"},
        {21, 3, 3, 0, "--char-min"}, {21, 3, 5, 3, "--char-min"}, {21, 3, 3, 11, "--char-min"},
    };
    for (const Case& c : cases) {
        Model m = small_model();
        m.features = FeatureOptions{c.bits, c.ngrams, c.char_min, c.char_max};
        m.weights.assign(std::size_t{1} << std::min<int>(c.bits, 24), 0.0f);
        const std::string loaded = message_of(serialize_model(m));
        std::string trained;
        try {
            if (c.says) {
                TrainOptions options;
                options.features = m.features;
                LineReader reviews("good\nbad\n", "reviews.txt");
                train_model(reviews, {1, 0}, options);
            } else {
                check_feature_options(m.features);
            }
        } catch (const Error& e) {
            trained = e.what();
        }
        if (!c.says) {
            EXPECT_EQ(loaded, "") << int(c.bits);
            EXPECT_EQ(trained, "") << int(c.bits);
        } else {
            EXPECT_NE(trained.find(c.says), std::string::npos) << trained;
            EXPECT_NE(loaded.find(std::string("feature settings out of range (") + c.says), std::string::npos) << loaded;
        }
    }
}

}  // namespace
