// Bad input through the C interface: every case gives a status and a
// message, never a crash, and leaves the reader able to go on.
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "SdkFixtures.h"

namespace kalvero::testing_sdk {
namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// Pixels enough for any of the cases' images.
const std::vector<unsigned char>& Pixels() {
    static const std::vector<unsigned char> pixels(static_cast<std::size_t>(kWidth) * kHeight * 4, 90);
    return pixels;
}

struct ImageCase {
    const char* name;
    kalvero_image image;
    int status;
    const char* messagePart;  // a piece of the message
};

kalvero_image Image(int width, int height, int stride, int format, bool data = true) {
    return kalvero_image{data ? Pixels().data() : nullptr, width, height, stride,
                         static_cast<kalvero_pixel_format>(format)};
}

class BadImages : public ::testing::TestWithParam<ImageCase> {};

TEST_P(BadImages, AreRefusedWithAStatusAndAMessage) {
    const ImageCase& bad = GetParam();
    ReaderHandle reader = NewReader();
    ASSERT_TRUE(reader) << kalvero_last_error();
    kalvero_frame* result = reinterpret_cast<kalvero_frame*>(0x1);  // must come back NULL
    EXPECT_EQ(kalvero_read_frame(reader.get(), &bad.image, 0.0, &result), bad.status);
    EXPECT_EQ(result, nullptr);
    EXPECT_NE(std::strstr(kalvero_last_error(), bad.messagePart), nullptr) << kalvero_last_error();

    // The refused frame did not count: the next good one is the first.
    const kalvero_image good = Image(kWidth, kHeight, kWidth * 3, KALVERO_BGR8);
    ASSERT_EQ(kalvero_read_frame(reader.get(), &good, 0.0, &result), KALVERO_OK) << kalvero_last_error();
    const FrameHandle owned(result, &kalvero_frame_free);
    EXPECT_EQ(kalvero_frame_number(result), 1);
    EXPECT_STREQ(kalvero_last_error(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Images, BadImages,
    ::testing::Values(ImageCase{"NullData", Image(kWidth, kHeight, kWidth * 3, KALVERO_BGR8, false), KALVERO_E_IMAGE, "NULL"},
                      ImageCase{"ZeroWidth", Image(0, kHeight, kWidth * 3, KALVERO_BGR8), KALVERO_E_IMAGE, "width"},
                      ImageCase{"NegativeHeight", Image(kWidth, -4, kWidth * 3, KALVERO_BGR8), KALVERO_E_IMAGE, "height"},
                      ImageCase{"StrideShorterThanARow", Image(kWidth, kHeight, kWidth * 3 - 1, KALVERO_BGR8),
                                KALVERO_E_IMAGE, "stride"},
                      ImageCase{"GreyStrideShorterThanARow", Image(kWidth, kHeight, kWidth - 1, KALVERO_GRAY8),
                                KALVERO_E_IMAGE, "stride"},
                      ImageCase{"NegativeStride", Image(kWidth, kHeight, -kWidth * 3, KALVERO_BGR8), KALVERO_E_IMAGE,
                                "stride"},
                      ImageCase{"StrideThatOverflows", Image(kWidth, 1 << 20, 1 << 20, KALVERO_BGR8), KALVERO_E_IMAGE,
                                "too large"},
                      ImageCase{"WidthThatOverflowsARow", Image(1 << 30, kHeight, 1 << 30, KALVERO_RGB8),
                                KALVERO_E_IMAGE, "stride"},
                      ImageCase{"UnknownFormat", Image(kWidth, kHeight, kWidth * 3, 99), KALVERO_E_IMAGE, "format"},
                      ImageCase{"FormatZero", Image(kWidth, kHeight, kWidth * 3, 0), KALVERO_E_IMAGE, "format"}),
    [](const ::testing::TestParamInfo<ImageCase>& info) { return info.param.name; });

TEST(BadHandles, NullReaderImageOrOutAreRefused) {
    ReaderHandle reader = NewReader();
    const kalvero_image good = Image(kWidth, kHeight, kWidth * 3, KALVERO_BGR8);
    kalvero_frame* result = nullptr;
    EXPECT_EQ(kalvero_read_frame(nullptr, &good, 0.0, &result), KALVERO_E_INVALID_ARGUMENT);
    EXPECT_NE(std::strstr(kalvero_last_error(), "reader is NULL"), nullptr);
    EXPECT_EQ(kalvero_read_frame(reader.get(), nullptr, 0.0, &result), KALVERO_E_INVALID_ARGUMENT);
    EXPECT_NE(std::strstr(kalvero_last_error(), "image is NULL"), nullptr);
    EXPECT_EQ(kalvero_read_frame(reader.get(), &good, 0.0, nullptr), KALVERO_E_INVALID_ARGUMENT);
    EXPECT_NE(std::strstr(kalvero_last_error(), "out is NULL"), nullptr);
    EXPECT_EQ(kalvero_reader_finish(nullptr, &result), KALVERO_E_INVALID_ARGUMENT);
    EXPECT_EQ(kalvero_read_file(nullptr, nullptr, nullptr, nullptr), KALVERO_E_INVALID_ARGUMENT);
    // Releasing and asking NULL handles is harmless.
    kalvero_reader_free(nullptr);
    kalvero_frame_free(nullptr);
    kalvero_options_free(nullptr);
    EXPECT_EQ(kalvero_frame_reading_count(nullptr), 0);
    EXPECT_EQ(kalvero_frame_confirmed(nullptr), nullptr);
    EXPECT_STREQ(kalvero_pass_number(nullptr), "");
}

TEST(BadHandles, ReadingIndexesOutOfRangeGiveEmptyValues) {
    ReaderHandle reader = NewReader();
    const kalvero_image good = Image(kWidth, kHeight, kWidth * 3, KALVERO_BGR8);
    kalvero_frame* result = nullptr;
    ASSERT_EQ(kalvero_read_frame(reader.get(), &good, 0.0, &result), KALVERO_OK);
    const FrameHandle owned(result, &kalvero_frame_free);
    const int count = kalvero_frame_reading_count(result);
    for (int index : {-1, count, count + 100}) {
        EXPECT_STREQ(kalvero_frame_reading_text(result, index), "");
        EXPECT_EQ(kalvero_frame_reading_box(result, index).width, 0);
        const float* scores = reinterpret_cast<const float*>(0x1);
        EXPECT_EQ(kalvero_frame_reading_digit_scores(result, index, &scores), 0);
        EXPECT_EQ(scores, nullptr);
    }
    EXPECT_EQ(kalvero_frame_pass(result, -1), nullptr);
    EXPECT_EQ(kalvero_frame_pass(result, kalvero_frame_pass_count(result)), nullptr);
}

// A setter given a value out of range refuses it and keeps the old one.
struct SetterCase {
    const char* name;
    int (*set)(kalvero_options*);
    const char* messagePart;
};

class BadOptions : public ::testing::TestWithParam<SetterCase> {};

TEST_P(BadOptions, AreRefusedAndLeaveTheOptionsAsTheyWere) {
    const SetterCase& bad = GetParam();
    OptionsHandle options = NewOptions();
    EXPECT_EQ(bad.set(options.get()), KALVERO_E_INVALID_ARGUMENT);
    EXPECT_NE(std::strstr(kalvero_last_error(), bad.messagePart), nullptr) << kalvero_last_error();
    EXPECT_EQ(bad.set(nullptr), KALVERO_E_INVALID_ARGUMENT);
    EXPECT_NE(std::strstr(kalvero_last_error(), "options is NULL"), nullptr) << kalvero_last_error();
    // Still the defaults: the reader reads a still with the learned engine.
    ReaderHandle reader = NewReader(options.get());
    EXPECT_TRUE(reader) << kalvero_last_error();
}

INSTANTIATE_TEST_SUITE_P(
    Setters, BadOptions,
    ::testing::Values(
        SetterCase{"UnknownEngine", [](kalvero_options* o) { return kalvero_options_set_engine(o, "neural"); }, "unknown engine"},
        SetterCase{"EngineNamedInCapitals", [](kalvero_options* o) { return kalvero_options_set_engine(o, "LEARNED"); },
                   "unknown engine"},
        SetterCase{"ZoneWithNegativeX", [](kalvero_options* o) { return kalvero_options_set_zone(o, -1, 0, 10, 10); }, "zone"},
        SetterCase{"ZoneWithNoWidth", [](kalvero_options* o) { return kalvero_options_set_zone(o, 0, 0, 0, 10); }, "zone"},
        SetterCase{"DigitHeightNegative", [](kalvero_options* o) { return kalvero_options_set_digit_height(o, -5); },
                   "digit height"},
        SetterCase{"DigitHeightTooTall", [](kalvero_options* o) { return kalvero_options_set_digit_height(o, 251); },
                   "digit height"},
        SetterCase{"VoteDepthTooShallow", [](kalvero_options* o) { return kalvero_options_set_vote(o, 4, 1); }, "depth"},
        SetterCase{"VoteDepthTooDeep", [](kalvero_options* o) { return kalvero_options_set_vote(o, 501, 5); }, "depth"},
        SetterCase{"VoteThresholdAboveDepth", [](kalvero_options* o) { return kalvero_options_set_vote(o, 10, 11); },
                   "threshold"},
        SetterCase{"VoteThresholdZero", [](kalvero_options* o) { return kalvero_options_set_vote(o, 10, 0); }, "threshold"},
        SetterCase{"ConfirmFramesNegative", [](kalvero_options* o) { return kalvero_options_set_confirm_frames(o, -1); },
                   "confirm frames"}),
    [](const ::testing::TestParamInfo<SetterCase>& info) { return info.param.name; });

TEST(BadOptionsTogether, ADigitHeightTheGlyphEngineCannotUseIsRefusedByTheReader) {
    OptionsHandle options = NewOptions();
    ASSERT_EQ(kalvero_options_set_digit_height(options.get(), 120), KALVERO_OK);  // a learned hint
    ASSERT_EQ(kalvero_options_set_engine(options.get(), "glyph"), KALVERO_OK);
    EXPECT_FALSE(NewReader(options.get()));
    EXPECT_EQ(kalvero_last_status(), KALVERO_E_INVALID_ARGUMENT);
    EXPECT_NE(std::strstr(kalvero_last_error(), "glyph engine"), nullptr) << kalvero_last_error();
    EXPECT_EQ(kalvero_read_file("unused.mkv", options.get(), nullptr, nullptr), KALVERO_E_INVALID_ARGUMENT);
    ASSERT_EQ(kalvero_options_set_engine(options.get(), "learned"), KALVERO_OK);
    EXPECT_TRUE(NewReader(options.get())) << kalvero_last_error();
    EXPECT_EQ(kalvero_last_status(), KALVERO_OK);
}

TEST(BadZones, AZoneOutsideTheFrameIsRefusedFrameByFrame) {
    OptionsHandle options = NewOptions();
    ASSERT_EQ(kalvero_options_set_zone(options.get(), 40, 0, 30, 20), KALVERO_OK);  // reaches x = 70
    ReaderHandle reader = NewReader(options.get());
    kalvero_frame* result = nullptr;
    const kalvero_image narrow = Image(kWidth, kHeight, kWidth * 3, KALVERO_BGR8);
    EXPECT_EQ(kalvero_read_frame(reader.get(), &narrow, 0.0, &result), KALVERO_E_ZONE);
    EXPECT_NE(std::strstr(kalvero_last_error(), "does not fit the frame (64x48)"), nullptr) << kalvero_last_error();
    // A frame that holds it reads.
    const kalvero_image wide = Image(72, kHeight, 72, KALVERO_GRAY8);
    ASSERT_EQ(kalvero_read_frame(reader.get(), &wide, 0.0, &result), KALVERO_OK) << kalvero_last_error();
    kalvero_frame_free(result);
}

TEST(BadFiles, AFileThatDoesNotOpenGivesTheReadersMessage) {
    const std::string missing = ScratchDir() + "/no such file.mkv";
    EXPECT_EQ(kalvero_read_file(missing.c_str(), nullptr, nullptr, nullptr), KALVERO_E_FILE);
    EXPECT_NE(std::strstr(kalvero_last_error(), "cannot open"), nullptr) << kalvero_last_error();
    EXPECT_EQ(std::strstr(kalvero_last_error(), "kalvero-read:"), nullptr) << kalvero_last_error();
}

TEST(Errors, TheMessageBelongsToTheThreadThatFailed) {
    EXPECT_EQ(kalvero_options_set_engine(nullptr, "glyph"), KALVERO_E_INVALID_ARGUMENT);
    std::string other = "unset";
    std::thread([&other] { other = kalvero_last_error(); }).join();
    EXPECT_EQ(other, "");
    EXPECT_NE(std::string(kalvero_last_error()), "");
}

TEST(Version, IsTheVersionTheProgramsSay) {
    const ShellResult said = RunShell(Quoted(BuildDir() + "/kalvero-read") + " --version");
    ASSERT_EQ(said.status, 0) << said.output;
    EXPECT_NE(said.output.find(std::string(" ") + kalvero_version()), std::string::npos) << said.output;
    EXPECT_NE(std::string(kalvero_version()), "");
}

}  // namespace
}  // namespace kalvero::testing_sdk
