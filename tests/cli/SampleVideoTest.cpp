#include <cstdio>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "recognizers/CheckDigit.h"
#include "tools/NumberPainter.h"
#include "tools/SampleVideo.h"

namespace kalvero {
namespace {

namespace fs = std::filesystem;

SampleSpec SmallSpec() {
    SampleSpec spec;
    spec.size = cv::Size(320, 180);
    spec.frames = 12;
    spec.digitHeight = 20;
    return spec;
}

TEST(SampleVideo, SameSpecGivesTheSameFramesAndTheSeedChangesThem) {
    const SampleSpec spec = SmallSpec();
    const SampleScene a(spec);
    const SampleScene b(spec);
    SampleSpec other = spec;
    other.seed = 2;
    const SampleScene c(other);
    for (int i : {0, 5, 11}) {
        const cv::Mat fa = a.Frame(i);
        ASSERT_EQ(fa.size(), spec.size);
        ASSERT_EQ(fa.type(), CV_8UC3);
        EXPECT_EQ(cv::norm(fa, b.Frame(i), cv::NORM_INF), 0.0) << "frame " << i;
        EXPECT_GT(cv::norm(fa, c.Frame(i), cv::NORM_L1), 0.0) << "frame " << i;
        EXPECT_EQ(a.NumberBox(i), c.NumberBox(i));
    }
}

TEST(SampleVideo, TheNumberCrossesFromRightToLeftAndStaysWhollyInView) {
    const SampleSpec spec = SmallSpec();
    const SampleScene scene(spec);
    const cv::Rect inside(0, 0, spec.size.width, spec.size.height);
    int previous = spec.size.width;
    for (int i = 0; i < spec.frames; ++i) {
        const cv::Rect box = scene.NumberBox(i);
        EXPECT_EQ(box & inside, box) << "frame " << i;
        EXPECT_LT(box.x, previous) << "frame " << i;
        previous = box.x;
        EXPECT_EQ(box.height, spec.digitHeight + 2);
    }
    // It travels most of the frame width, with the panel moving with it.
    EXPECT_GT(scene.NumberBox(0).x - scene.NumberBox(spec.frames - 1).x, spec.size.width / 2);
    EXPECT_EQ(scene.NumberBox(0).x - scene.PanelLeft(0),
              scene.NumberBox(5).x - scene.PanelLeft(5));
    // At the start the background still shows left of the carriage.
    EXPECT_GT(scene.PanelLeft(0), 0);
}

// Mean grey on the glyph strokes of the drawn number minus the mean grey of
// the panel around them, in frame `index`.
double StrokeContrast(const SampleScene& scene, int index) {
    const SampleSpec& spec = scene.Spec();
    cv::Mat grey;
    cv::cvtColor(scene.Frame(index), grey, cv::COLOR_BGR2GRAY);
    cv::Mat strokes = cv::Mat::zeros(grey.size(), CV_8U);
    DrawDigits(strokes, spec.number, scene.NumberBox(index).tl(), spec.digitHeight, 0.25,
               cv::Scalar(255));
    cv::erode(strokes, strokes, cv::Mat());  // stay clear of the blurred edges
    const cv::Rect box = scene.NumberBox(index);
    cv::Mat around = cv::Mat::zeros(grey.size(), CV_8U);
    around(box).setTo(255);
    cv::Mat grown;
    cv::dilate(strokes, grown, cv::Mat(), cv::Point(-1, -1), 3);
    around.setTo(0, grown);
    return cv::mean(grey, strokes)[0] - cv::mean(grey, around)[0];
}

TEST(SampleVideo, PolarityDecidesWhetherTheDigitsAreLightOrDark) {
    SampleSpec light = SmallSpec();
    SampleSpec dark = SmallSpec();
    dark.lightDigits = false;
    EXPECT_GT(StrokeContrast(SampleScene(light), 6), 80.0);
    EXPECT_LT(StrokeContrast(SampleScene(dark), 6), -80.0);
}

TEST(SampleVideo, ValidatesTheSpec) {
    EXPECT_EQ(ValidateSampleSpec(SampleSpec{}), "");
    EXPECT_TRUE(CheckDigitHolds(SampleSpec{}.number)) << "the default number is a valid one";
    SampleSpec s = SmallSpec();
    s.number = "12a4";
    EXPECT_NE(ValidateSampleSpec(s).find("decimal digits"), std::string::npos);
    s = SmallSpec();
    s.number = "";
    EXPECT_NE(ValidateSampleSpec(s), "");
    s = SmallSpec();
    s.digitHeight = 60;  // a 180-row frame has a 115-row panel
    EXPECT_NE(ValidateSampleSpec(s).find("too large"), std::string::npos);
    s = SmallSpec();
    s.number = "1234567890123456789";
    EXPECT_NE(ValidateSampleSpec(s).find("does not fit"), std::string::npos);
    s = SmallSpec();
    s.frames = 0;
    EXPECT_NE(ValidateSampleSpec(s), "");
}

TEST(SampleVideo, ParsesItsCommandLine) {
    SampleCommand c;
    ASSERT_EQ(ParseSampleCommand({"out.avi", "--number", "12345674", "--frames=10", "--size",
                                  "400x240", "--digit-height", "24", "--polarity", "dark",
                                  "--seed", "9"},
                                 c),
              "");
    EXPECT_EQ(c.outPath, "out.avi");
    EXPECT_EQ(c.spec.number, "12345674");
    EXPECT_EQ(c.spec.frames, 10);
    EXPECT_EQ(c.spec.size, cv::Size(400, 240));
    EXPECT_EQ(c.spec.digitHeight, 24);
    EXPECT_FALSE(c.spec.lightDigits);
    EXPECT_EQ(c.spec.seed, 9u);

    EXPECT_EQ(ParseSampleCommand({"--help"}, c), "");
    EXPECT_TRUE(c.help);
    EXPECT_EQ(ParseSampleCommand({}, c), "no output file given");
    EXPECT_EQ(ParseSampleCommand({"a.avi", "--colour", "red"}, c), "unknown option '--colour'");
    EXPECT_EQ(ParseSampleCommand({"a.avi", "--polarity", "grey"}, c),
              "invalid value 'grey' for --polarity (light or dark)");
    EXPECT_EQ(ParseSampleCommand({"a.avi", "--size", "640"}, c),
              "invalid value '640' for --size (WxH, for example 640x360)");
    EXPECT_EQ(ParseSampleCommand({"a.avi", "--frames"}, c), "option '--frames' needs a value");
    EXPECT_NE(ParseSampleCommand({"a.xyz"}, c).find("cannot tell the format"), std::string::npos);
    EXPECT_NE(ParseSampleCommand({"a.avi", "b.avi"}, c).find("more than one"), std::string::npos);
}

class SampleFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kalvero-sample-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(SampleFiles, WritesVideosAndStillsThatOpenCvReadsBack) {
    const SampleSpec spec = SmallSpec();
    const SampleScene scene(spec);
    for (const char* name : {"s.avi", "s.mp4"}) {
        const std::string path = (dir_ / name).string();
        ASSERT_EQ(WriteSample(path, spec), "") << name;
        cv::VideoCapture capture(path);
        ASSERT_TRUE(capture.isOpened()) << name;
        int frames = 0;
        cv::Mat frame;
        double worst = 0.0;
        while (capture.read(frame)) {
            ASSERT_EQ(frame.size(), spec.size);
            cv::Mat diff;
            cv::absdiff(frame, scene.Frame(frames), diff);
            worst = std::max(worst, cv::mean(diff)[0]);
            ++frames;
        }
        EXPECT_EQ(frames, spec.frames) << name;
        EXPECT_LT(worst, 8.0) << name << ": the decoded frames are the scene's";
    }
    const std::string still = (dir_ / "s.png").string();
    ASSERT_EQ(WriteSample(still, spec), "");
    const cv::Mat image = cv::imread(still);
    ASSERT_FALSE(image.empty());
    EXPECT_EQ(cv::norm(image, scene.Frame(spec.frames / 2), cv::NORM_INF), 0.0);
}

TEST_F(SampleFiles, ReportsFilesItCannotWrite) {
    const std::string missingFolder = (dir_ / "no" / "such" / "folder" / "s.avi").string();
    const std::string message = WriteSample(missingFolder, SmallSpec());
    EXPECT_NE(message.find(missingFolder), std::string::npos) << message;

    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunMakeSample({missingFolder, "--frames", "2"}, out, err), 3);
    EXPECT_NE(err.str().find(missingFolder), std::string::npos);
    EXPECT_EQ(RunMakeSample({(dir_ / "x.avi").string(), "--digit-height", "5"}, out, err), 2);
    EXPECT_NE(err.str().find("--digit-height"), std::string::npos);

    std::ostringstream ok;
    const std::string path = (dir_ / "ok.avi").string();
    EXPECT_EQ(RunMakeSample({path, "--frames", "3", "--size", "320x180", "--digit-height", "20"},
                            ok, err),
              0);
    EXPECT_EQ(ok.str(), "Wrote " + path +
                            ": 3 frames of 320x180, number 52473063, digit height 20, light "
                            "digits\n");
    EXPECT_TRUE(fs::exists(path));
}

}  // namespace
}  // namespace kalvero
