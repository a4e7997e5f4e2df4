#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "recognition_common/CheckDigit.h"
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "tools/CarriageNumbers.h"
#include "tools/SampleVideo.h"
#include "tools/SceneRepeatability.h"
#include "tools/ToolsTestFiles.h"
#include "tools/ToolsTestFonts.h"
#include "tools/VariedScene.h"

namespace kalvero {
namespace {

namespace fs = std::filesystem;

SampleOptions SmallOptions() {
    SampleOptions sample;
    sample.size = cv::Size(400, 220);
    sample.frames = 24;
    sample.digitHeight = 22;
    return sample;
}

VariedScene Built(const SampleOptions& sample, const SceneOptions& options) {
    VariedScene scene;
    const std::string error = scene.Build(sample, options);
    EXPECT_EQ(error, "");
    return scene;
}

std::vector<std::string> FontEntries() {
    std::vector<std::string> entries{"glyph", "stencil"};
    if (TestFontInstalled()) {
        entries.push_back(kTestFontPath);
    }
    return entries;
}

TEST(VariedScene, SameSeedGivesTheSameFramesAndTruth) {
    SceneOptions options;
    options.varied = true;
    options.font = "stencil";
    const SampleOptions sample = SmallOptions();
    const VariedScene a = Built(sample, options);
    const VariedScene b = Built(sample, options);
    SampleOptions other = sample;
    other.seed = 2;
    const VariedScene c = Built(other, options);
    ExpectSeedDecidesTheScene(a, b, c, sample.size, {0, 11, 23});
}

// Plain light digits (ink 192 on paint 72): every bright pixel of the
// carriage band belongs to a truth box, and each box is tight on its ink.
void ExpectBoxesHoldTheInk(const VariedScene& scene, const SampleOptions& sample, int index, const std::string& what) {
    cv::Mat grey;
    cv::cvtColor(scene.Frame(index), grey, cv::COLOR_BGR2GRAY);
    // The carriage covers rows 20 % to 84 % of the frame; the sky above is bright.
    const cv::Rect band(0, sample.size.height * 22 / 100, sample.size.width, sample.size.height * 60 / 100);
    cv::Mat ink = cv::Mat::zeros(grey.size(), CV_8U);
    cv::Mat bright;
    cv::compare(grey(band), 150, bright, cv::CMP_GT);
    bright.copyTo(ink(band));
    cv::Mat covered = cv::Mat::zeros(grey.size(), CV_8U);
    for (const TruthObject& o : scene.Objects(index)) {
        cv::Rect grown(o.box.x - 2, o.box.y - 2, o.box.width + 4, o.box.height + 4);
        covered(grown & cv::Rect(0, 0, grey.cols, grey.rows)).setTo(255);
        const cv::Rect inkBox = cv::boundingRect(ink(o.box));
        ASSERT_GT(inkBox.area(), 0) << what << " frame " << index << " " << o.text;
        EXPECT_LE(inkBox.x, 2) << what << " frame " << index << " " << o.text;
        EXPECT_LE(inkBox.y, 2) << what << " frame " << index << " " << o.text;
        EXPECT_GE(inkBox.br().x, o.box.width - 2) << what << " frame " << index << " " << o.text;
        EXPECT_GE(inkBox.br().y, o.box.height - 2) << what << " frame " << index << " " << o.text;
    }
    ink.setTo(0, covered);
    EXPECT_EQ(cv::countNonZero(ink), 0) << what << " frame " << index << ": ink outside every box";
}

TEST(VariedScene, TruthBoxesHoldThePaintedInkForEveryFontAndMotion) {
    const SampleOptions sample = SmallOptions();
    for (const std::string& font : FontEntries()) {
        for (SceneMotion motion : {SceneMotion::Pass, SceneMotion::TwoCarriages, SceneMotion::Static}) {
            SceneOptions options;
            options.font = font;
            options.motion = motion;
            const VariedScene scene = Built(sample, options);
            // Mid-way between two carriages the sky shows through the gap.
            const std::vector<int> frames =
                motion == SceneMotion::TwoCarriages ? std::vector<int>{0, 23} : std::vector<int>{0, 9, 23};
            for (int i : frames) {
                ExpectBoxesHoldTheInk(scene, sample, i, font + " motion " + std::to_string(static_cast<int>(motion)));
            }
        }
    }
}

TEST(VariedScene, EnterLeaveShowsTheNumberOnlyInTheMiddle) {
    SceneOptions options;
    options.motion = SceneMotion::EnterLeave;
    const SampleOptions sample = SmallOptions();
    const VariedScene scene = Built(sample, options);
    int whole = 0;
    int partial = 0;
    for (int i = 0; i < sample.frames; ++i) {
        for (const TruthObject& o : scene.Objects(i)) {
            ASSERT_TRUE(o.isNumber);
            whole += o.fullyVisible;
            partial += !o.fullyVisible;
            if (!o.fullyVisible) {
                EXPECT_TRUE(o.box.x == 0 || o.box.br().x == sample.size.width) << "clipped at an edge";
            }
        }
    }
    EXPECT_TRUE(scene.Objects(0).empty());
    EXPECT_TRUE(scene.Objects(sample.frames - 1).empty());
    EXPECT_GT(whole, sample.frames / 3);
    EXPECT_GT(partial, 0);
}

TEST(VariedScene, TwoCarriagesPassInOrderWithFramesBetween) {
    SceneOptions options;
    options.motion = SceneMotion::TwoCarriages;
    options.varied = true;
    SampleOptions sample = SmallOptions();
    sample.frames = 60;
    const VariedScene scene = Built(sample, options);
    ASSERT_EQ(scene.Numbers().size(), 2u);
    EXPECT_EQ(scene.Numbers()[0], sample.number);
    EXPECT_NE(scene.Numbers()[1], sample.number);
    EXPECT_TRUE(CheckDigitHolds(scene.Numbers()[1])) << scene.Numbers()[1];
    // Frame by frame: which number is wholly in view.
    std::vector<int> seen;
    bool gap = false;
    for (int i = 0; i < sample.frames; ++i) {
        int shown = -1;
        for (const TruthObject& o : scene.Objects(i)) {
            if (o.isNumber && o.fullyVisible) {
                shown = o.text == scene.Numbers()[0] ? 0 : 1;
            }
        }
        if (shown < 0) {
            gap = gap || (!seen.empty() && seen.back() == 0);
        } else if (seen.empty() || seen.back() != shown) {
            seen.push_back(shown);
        }
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 1}));
    EXPECT_TRUE(gap) << "no frame between the two numbers";

    options.number2 = "12345674";
    EXPECT_EQ(Built(sample, options).Numbers()[1], "12345674");
}

TEST(VariedScene, NegativesShowNoCarriageNumber) {
    const SampleOptions sample = SmallOptions();
    for (SceneNegative negative : {SceneNegative::SevenDigits, SceneNegative::SixDigitsWords, SceneNegative::Blank}) {
        for (bool varied : {false, true}) {
            SceneOptions options;
            options.negative = negative;
            options.varied = varied;
            options.motion = SceneMotion::Static;
            const VariedScene scene = Built(sample, options);
            EXPECT_TRUE(scene.Numbers().empty());
            const auto objects = scene.Objects(0);
            bool mainGroup = false;
            for (const TruthObject& o : objects) {
                EXPECT_FALSE(o.isNumber) << o.text;
                mainGroup = mainGroup || (negative == SceneNegative::SevenDigits && o.text.size() == 7) ||
                            (negative == SceneNegative::SixDigitsWords && o.text.size() == 6);
            }
            if (negative == SceneNegative::Blank) {
                EXPECT_TRUE(objects.empty());
            } else {
                EXPECT_TRUE(mainGroup) << "negative " << static_cast<int>(negative);
            }
        }
    }
}

using TruthFiles = TestWithFolder<true>;

std::vector<cv::Rect> BoxesIn(const std::string& json) {
    std::vector<cv::Rect> boxes;
    for (std::size_t at = json.find("\"box\": ["); at != std::string::npos; at = json.find("\"box\": [", at + 1)) {
        cv::Rect r;
        EXPECT_EQ(std::sscanf(json.c_str() + at, "\"box\": [%d, %d, %d, %d]", &r.x, &r.y, &r.width, &r.height), 4);
        boxes.push_back(r);
    }
    return boxes;
}

TEST_F(TruthFiles, StillsAndVideosGetTheirTruth) {
    std::ostringstream out;
    std::ostringstream err;
    // The default sample: same picture as without a truth file.
    const std::string plain = (dir_ / "plain.png").string();
    const std::string withTruth = (dir_ / "truth.png").string();
    const std::string json = (dir_ / "truth.json").string();
    ASSERT_EQ(RunMakeSample({plain, "--size", "400x240", "--digit-height", "22"}, out, err), 0) << err.str();
    ASSERT_EQ(RunMakeSample({withTruth, "--size", "400x240", "--digit-height", "22", "--truth", json}, out, err), 0);
    EXPECT_EQ(cv::norm(cv::imread(plain), cv::imread(withTruth), cv::NORM_INF), 0.0);
    const std::string text = ReadWholeFile(json);
    EXPECT_EQ(text.rfind("{\"file\": \"" + withTruth + "\", \"width\": 400, \"height\": 240, \"frames\": 1, "
                         "\"fps\": 25.0, \"font\": \"glyph\", \"seed\": 1,", 0), 0u) << text;
    EXPECT_NE(text.find("\"numbers\": [\"52473063\"]"), std::string::npos);
    EXPECT_NE(text.find("{\"frame\": 1, \"objects\": [{\"text\": \"52473063\", \"kind\": \"number\""), std::string::npos);
    const auto boxes = BoxesIn(text);
    ASSERT_EQ(boxes.size(), 1u);
    // The glyph ink: light on the dark panel, inside the box and reaching its edges.
    cv::Mat grey;
    cv::cvtColor(cv::imread(withTruth), grey, cv::COLOR_BGR2GRAY);
    cv::Mat inside;
    cv::compare(grey(boxes[0]), 150, inside, cv::CMP_GT);
    const cv::Rect inkBox = cv::boundingRect(inside);
    EXPECT_LE(inkBox.x, 1);
    EXPECT_GE(inkBox.br().x, boxes[0].width - 1);

    // A varied video: one frame_truth entry per frame.
    const std::string video = (dir_ / "v.avi").string();
    const std::string videoJson = (dir_ / "v.json").string();
    ASSERT_EQ(RunMakeSample({video, "--size", "400x240", "--digit-height", "22", "--frames", "6", "--varied",
                             "--font", "stencil", "--scene", "enter-leave", "--jpeg-quality", "60", "--truth", videoJson},
                            out, err),
              0)
        << err.str();
    const std::string videoText = ReadWholeFile(videoJson);
    EXPECT_NE(videoText.find("\"frames\": 6"), std::string::npos);
    EXPECT_NE(videoText.find("\"font\": \"stencil\""), std::string::npos);
    EXPECT_NE(videoText.find("{\"frame\": 6, "), std::string::npos);
    EXPECT_EQ(videoText.find("{\"frame\": 7, "), std::string::npos);
    EXPECT_TRUE(fs::exists(video));
}

TEST_F(TruthFiles, BadSceneOptionsAreUsageErrors) {
    const std::string path = (dir_ / "x.avi").string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{path, "--scene", "fly"}, "--scene"},
        {{path, "--negative", "eight"}, "--negative"},
        {{path, "--font", "/no/such/font.ttf"}, "--font"},
        {{path, "--jpeg-quality", "0"}, "--jpeg-quality"},
        {{path, "--number2", "12a"}, "--number2"},
        {{path, "--varied=yes"}, "--varied"},
        {{path, "--truth"}, "--truth"},
    };
    for (const auto& [args, named] : cases) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(RunMakeSample(args, out, err), 2) << named;
        EXPECT_NE(err.str().find(named), std::string::npos) << err.str();
    }
    EXPECT_FALSE(fs::exists(path));
}

}  // namespace
}  // namespace kalvero
