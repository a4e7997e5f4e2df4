// The C interface reads as kalvero-read does: the same readings, the same
// confirmations and the same passes on the default sample's frames. Frame by
// frame the interface searches every frame whole; kalvero-read reads a
// file's frames in groups (the frames between whole searches in strips
// around what they found), which may draw a box a little looser and score
// it a little differently, but reads the same numbers in the same places.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <opencv2/imgproc.hpp>

#include "SdkFixtures.h"

namespace kalvero::testing_sdk {
namespace {

constexpr const char* kSampleNumber = "52473063";

// kalvero-read --json's frames of `path`.
std::vector<nlohmann::json> ReaderFrames(const std::string& path) {
    const ShellResult run = RunShell(Quoted(BuildDir() + "/kalvero-read") + " --json " + Quoted(path) + " 2>/dev/null");
    EXPECT_EQ(run.status, 0) << run.output;
    std::vector<nlohmann::json> frames;
    std::istringstream lines(run.output);
    std::string line;
    while (std::getline(lines, line)) {
        const nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
        if (object.is_object() && object.contains("frame")) frames.push_back(object);
    }
    return frames;
}

TEST(ReaderAgreement, FramesReadAsTheReaderReadsThem) {
    const std::string sample = DefaultSample("sample.mkv");
    const std::vector<cv::Mat> frames = DecodedFrames(sample);
    const std::vector<nlohmann::json> expected = ReaderFrames(sample);
    ASSERT_EQ(frames.size(), 60u);
    ASSERT_EQ(expected.size(), frames.size());
    const std::vector<FrameOutcome> outcomes = ReadAll(frames);
    int confirmedFrames = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i + 1));
        const nlohmann::json& want = expected[i];
        const FrameOutcome& got = outcomes[i];
        ASSERT_EQ(got.texts.size(), want["readings"].size());
        for (std::size_t r = 0; r < got.texts.size(); ++r) {
            const nlohmann::json& reading = want["readings"][r];
            EXPECT_EQ(got.texts[r], reading["text"].get<std::string>());
            const cv::Rect box(reading["x"].get<int>(), reading["y"].get<int>(), reading["width"].get<int>(),
                               reading["height"].get<int>());
            // The same place: the smaller box lies within the other, give or
            // take a tenth of it.
            EXPECT_GE((got.boxes[r] & box).area(), 0.9 * std::min(got.boxes[r].area(), box.area()))
                << got.boxes[r] << " " << box;
            EXPECT_NEAR(got.scores[r], reading["score"].get<double>(), 0.02);
        }
        const std::string wantConfirmed = want.contains("confirmed") && want["confirmed"].is_string()
                                              ? want["confirmed"].get<std::string>()
                                              : std::string();
        EXPECT_EQ(got.confirmed, wantConfirmed);
        if (!got.confirmed.empty()) ++confirmedFrames;
    }
    EXPECT_GT(confirmedFrames, 0);
    // The one pass stays open to the end: the finish hands it out.
    EXPECT_EQ(outcomes.back().passes, std::vector<std::string>{std::string(kSampleNumber) + " 1-60"});
}

// What read_file hands the callbacks, in order.
struct Collected {
    std::vector<int> frameNumbers;
    std::vector<std::string> confirmed;
    std::vector<std::string> passes;
    int stopAfterFrames = 0;  // 0: never stop
};

int CollectFrame(const kalvero_frame* frame, void* user) {
    auto* collected = static_cast<Collected*>(user);
    collected->frameNumbers.push_back(kalvero_frame_number(frame));
    const char* confirmed = kalvero_frame_confirmed(frame);
    collected->confirmed.push_back(confirmed != nullptr ? confirmed : "");
    return collected->stopAfterFrames > 0 &&
           static_cast<int>(collected->frameNumbers.size()) >= collected->stopAfterFrames;
}

int CollectPass(const kalvero_pass* pass, void* user) {
    static_cast<Collected*>(user)->passes.push_back(std::string(kalvero_pass_number(pass)) + " " +
                                                     std::to_string(kalvero_pass_first_frame(pass)) + "-" +
                                                     std::to_string(kalvero_pass_last_frame(pass)) + " " +
                                                     kalvero_pass_direction(pass));
    return 0;
}

TEST(ReaderAgreement, ReadFileGivesTheReadersFramesAndPasses) {
    const std::string sample = DefaultSample("sample.mkv");
    const std::vector<nlohmann::json> expected = ReaderFrames(sample);
    Collected collected;
    const kalvero_callbacks callbacks{CollectFrame, CollectPass};
    ASSERT_EQ(kalvero_read_file(sample.c_str(), nullptr, &callbacks, &collected), KALVERO_OK) << kalvero_last_error();
    ASSERT_EQ(collected.frameNumbers.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(collected.frameNumbers[i], static_cast<int>(i) + 1);
        const std::string want = expected[i].contains("confirmed") && expected[i]["confirmed"].is_string()
                                     ? expected[i]["confirmed"].get<std::string>()
                                     : std::string();
        EXPECT_EQ(collected.confirmed[i], want) << "frame " << i + 1;
    }
    EXPECT_EQ(collected.passes, std::vector<std::string>{std::string(kSampleNumber) + " 1-60 left"});
}

TEST(ReaderAgreement, ReadFileConfirmsAStillOnItsOneFrame) {
    Collected collected;
    const kalvero_callbacks callbacks{CollectFrame, CollectPass};
    ASSERT_EQ(kalvero_read_file(DefaultSample("sample.png").c_str(), nullptr, &callbacks, &collected), KALVERO_OK)
        << kalvero_last_error();
    EXPECT_EQ(collected.confirmed, std::vector<std::string>{kSampleNumber});
    EXPECT_EQ(collected.passes, std::vector<std::string>{std::string(kSampleNumber) + " 1-1 none"});
}

TEST(ReaderAgreement, ACallbackThatAsksStopsTheRead) {
    Collected collected;
    collected.stopAfterFrames = 5;
    const kalvero_callbacks callbacks{CollectFrame, nullptr};
    EXPECT_EQ(kalvero_read_file(DefaultSample("sample.mkv").c_str(), nullptr, &callbacks, &collected),
              KALVERO_E_STOPPED);
    EXPECT_EQ(collected.frameNumbers.size(), 5u);
    EXPECT_STRNE(kalvero_last_error(), "");
}

// The same picture handed in any of the layouts reads the same.
struct LayoutCase {
    const char* name;
    kalvero_pixel_format format;
    int conversion;    // cv::cvtColor code from BGR, or -1 for none
    int paddingBytes;  // added to every row
};

class PixelLayouts : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(PixelLayouts, ReadTheSameAsPackedBgr) {
    const LayoutCase& layout = GetParam();
    const cv::Mat frame = DecodedFrames(DefaultSample("sample.mkv")).at(30);
    cv::Mat converted = frame;
    if (layout.conversion >= 0) cv::cvtColor(frame, converted, layout.conversion);
    // Rows padded out: a view into a wider picture.
    const int rowBytes = converted.cols * static_cast<int>(converted.elemSize());
    cv::Mat wide(converted.rows, rowBytes + layout.paddingBytes, CV_8UC1, cv::Scalar(77));
    for (int y = 0; y < converted.rows; ++y) std::memcpy(wide.ptr(y), converted.ptr(y), static_cast<std::size_t>(rowBytes));
    const kalvero_image image{wide.data, converted.cols, converted.rows, static_cast<int>(wide.step), layout.format};

    auto options = NewOptions();
    ASSERT_EQ(kalvero_options_set_confirm_frames(options.get(), 1), KALVERO_OK);
    ReaderHandle reader = NewReader(options.get());
    kalvero_frame* result = nullptr;
    ASSERT_EQ(kalvero_read_frame(reader.get(), &image, 0.0, &result), KALVERO_OK) << kalvero_last_error();
    const FrameHandle owned(result, &kalvero_frame_free);
    ASSERT_GE(kalvero_frame_reading_count(result), 1);
    EXPECT_STREQ(kalvero_frame_reading_text(result, 0), kSampleNumber);
    EXPECT_EQ(kalvero_frame_reading_check_digit(result, 0), 1);
    const float* digitScores = nullptr;
    EXPECT_EQ(kalvero_frame_reading_digit_scores(result, 0, &digitScores), 8);
    ASSERT_NE(digitScores, nullptr);
    float product = 1.0f;
    for (int d = 0; d < 8; ++d) product *= digitScores[d];
    EXPECT_NEAR(kalvero_frame_reading_score(result, 0), product, 1e-4);
    ASSERT_NE(kalvero_frame_confirmed(result), nullptr);
    EXPECT_STREQ(kalvero_frame_confirmed(result), kSampleNumber);
}

INSTANTIATE_TEST_SUITE_P(Formats, PixelLayouts,
                         ::testing::Values(LayoutCase{"PackedBgr", KALVERO_BGR8, -1, 0},
                                           LayoutCase{"PaddedBgr", KALVERO_BGR8, -1, 13},
                                           LayoutCase{"Rgb", KALVERO_RGB8, cv::COLOR_BGR2RGB, 3},
                                           LayoutCase{"Grey", KALVERO_GRAY8, cv::COLOR_BGR2GRAY, 1}),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

TEST(ReaderAgreement, TheZoneMovesBoxesIntoFramePixels) {
    const std::vector<cv::Mat> frames = DecodedFrames(DefaultSample("sample.mkv"));
    const std::vector<FrameOutcome> whole = ReadAll(frames);
    auto options = NewOptions();
    ASSERT_EQ(kalvero_options_set_zone(options.get(), 0, 100, 640, 100), KALVERO_OK);
    const std::vector<FrameOutcome> zoned = ReadAll(frames, options.get());
    ASSERT_FALSE(whole[30].boxes.empty());
    ASSERT_FALSE(zoned[30].boxes.empty());
    EXPECT_EQ(zoned[30].texts.front(), kSampleNumber);
    // Frame pixels either way: the box lies where the number is.
    EXPECT_NEAR(zoned[30].boxes.front().x, whole[30].boxes.front().x, 2);
    EXPECT_NEAR(zoned[30].boxes.front().y, whole[30].boxes.front().y, 2);
}

TEST(ReaderAgreement, FinishStartsTheSequenceAfresh) {
    const std::vector<cv::Mat> frames = DecodedFrames(DefaultSample("sample.mkv"));
    ReaderHandle reader = NewReader();
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 10; ++i) {
            const kalvero_image image = ImageOf(frames[static_cast<std::size_t>(i)]);
            kalvero_frame* result = nullptr;
            ASSERT_EQ(kalvero_read_frame(reader.get(), &image, i / 25.0, &result), KALVERO_OK);
            const FrameHandle owned(result, &kalvero_frame_free);
            EXPECT_EQ(kalvero_frame_number(result), i + 1);
        }
        kalvero_frame* rest = nullptr;
        ASSERT_EQ(kalvero_reader_finish(reader.get(), &rest), KALVERO_OK);
        const FrameHandle owned(rest, &kalvero_frame_free);
        EXPECT_EQ(kalvero_frame_number(rest), 0);
        EXPECT_EQ(OutcomeOf(rest).passes, std::vector<std::string>{std::string(kSampleNumber) + " 1-10"});
    }
}

}  // namespace
}  // namespace kalvero::testing_sdk
