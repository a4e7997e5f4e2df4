#include <cstdio>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "ReaderProcess.h"
#include "recognition_common/CheckDigit.h"
#include "tools/NumberPainter.h"
#include "tools/SampleVideo.h"

namespace kalvero {
namespace {

namespace fs = std::filesystem;

SampleOptions SmallOptions() { return testing_cli::SmallSample({320, 180}, 12, 20); }

TEST(SampleVideo, SameOptionsGiveTheSameFramesAndTheSeedChangesThem) {
    const SampleOptions sample = SmallOptions();
    const SampleScene a(sample);
    const SampleScene b(sample);
    SampleOptions other = sample;
    other.seed = 2;
    const SampleScene c(other);
    for (int i : {0, 5, 11}) {
        const cv::Mat fa = a.Frame(i);
        ASSERT_EQ(fa.size(), sample.size);
        ASSERT_EQ(fa.type(), CV_8UC3);
        EXPECT_EQ(cv::norm(fa, b.Frame(i), cv::NORM_INF), 0.0) << "frame " << i;
        EXPECT_GT(cv::norm(fa, c.Frame(i), cv::NORM_L1), 0.0) << "frame " << i;
        EXPECT_EQ(a.NumberBox(i), c.NumberBox(i));
    }
}

TEST(SampleVideo, TheNumberCrossesFromRightToLeftAndStaysWhollyInView) {
    const SampleOptions sample = SmallOptions();
    const SampleScene scene(sample);
    const cv::Rect inside(0, 0, sample.size.width, sample.size.height);
    int previous = sample.size.width;
    for (int i = 0; i < sample.frames; ++i) {
        const cv::Rect box = scene.NumberBox(i);
        EXPECT_EQ(box & inside, box) << "frame " << i;
        EXPECT_LT(box.x, previous) << "frame " << i;
        previous = box.x;
        EXPECT_EQ(box.height, sample.digitHeight + 2);
    }
    // It travels most of the frame width, with the panel moving with it.
    EXPECT_GT(scene.NumberBox(0).x - scene.NumberBox(sample.frames - 1).x, sample.size.width / 2);
    EXPECT_EQ(scene.NumberBox(0).x - scene.PanelLeft(0),
              scene.NumberBox(5).x - scene.PanelLeft(5));
    // At the start the background still shows left of the carriage.
    EXPECT_GT(scene.PanelLeft(0), 0);
}

// Mean grey on the glyph strokes of the drawn number minus the mean grey of
// the panel around them, in frame `index`.
double StrokeContrast(const SampleScene& scene, int index) {
    const SampleOptions& sample = scene.Sample();
    cv::Mat grey;
    cv::cvtColor(scene.Frame(index), grey, cv::COLOR_BGR2GRAY);
    cv::Mat strokes = cv::Mat::zeros(grey.size(), CV_8U);
    DrawDigits(strokes, sample.number, scene.NumberBox(index).tl(), sample.digitHeight, 0.25,
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
    SampleOptions light = SmallOptions();
    SampleOptions dark = SmallOptions();
    dark.lightDigits = false;
    EXPECT_GT(StrokeContrast(SampleScene(light), 6), 80.0);
    EXPECT_LT(StrokeContrast(SampleScene(dark), 6), -80.0);
}

TEST(SampleVideo, ValidatesItsOptions) {
    EXPECT_EQ(ValidateSampleOptions(SampleOptions{}), "");
    EXPECT_TRUE(CheckDigitHolds(SampleOptions{}.number)) << "the default number is a valid one";
    SampleOptions s = SmallOptions();
    s.number = "12a4";
    EXPECT_NE(ValidateSampleOptions(s).find("decimal digits"), std::string::npos);
    s = SmallOptions();
    s.number = "";
    EXPECT_NE(ValidateSampleOptions(s), "");
    s = SmallOptions();
    s.digitHeight = 60;  // a 180-row frame has a 115-row panel
    EXPECT_NE(ValidateSampleOptions(s).find("too large"), std::string::npos);
    s = SmallOptions();
    s.number = "1234567890123456789";
    EXPECT_NE(ValidateSampleOptions(s).find("does not fit"), std::string::npos);
    s = SmallOptions();
    s.frames = 0;
    EXPECT_NE(ValidateSampleOptions(s), "");
}

TEST(SampleVideo, ParsesItsCommandLine) {
    SampleCommand c;
    ASSERT_EQ(ParseSampleCommand({"out.avi", "--number", "12345674", "--frames=10", "--size",
                                  "400x240", "--digit-height", "24", "--polarity", "dark",
                                  "--seed", "9"},
                                 c),
              "");
    EXPECT_EQ(c.outPath, "out.avi");
    EXPECT_EQ(c.sample.number, "12345674");
    EXPECT_EQ(c.sample.frames, 10);
    EXPECT_EQ(c.sample.size, cv::Size(400, 240));
    EXPECT_EQ(c.sample.digitHeight, 24);
    EXPECT_FALSE(c.sample.lightDigits);
    EXPECT_EQ(c.sample.seed, 9u);

    EXPECT_EQ(ParseSampleCommand({"--help"}, c), "");
    EXPECT_TRUE(c.help);
    EXPECT_EQ(ParseSampleCommand({}, c), "no output file given");
    EXPECT_EQ(ParseSampleCommand({"a.avi", "--colour", "red"}, c), "unknown option '--colour'");
    EXPECT_EQ(ParseSampleCommand({"a.avi", "--polarity", "grey"}, c),
              "invalid value 'grey' for --polarity (light or dark)");
    EXPECT_EQ(ParseSampleCommand({"a.avi", "--size", "640"}, c),
              "--size: '640' is not WxH (for example 640x360)");
    EXPECT_EQ(ParseSampleCommand({"a.avi", "--frames"}, c), "option '--frames' needs a value");
    // The reader's number rules and messages: decimal only, the true bounds.
    EXPECT_EQ(ParseSampleCommand({"a.avi", "--frames", " 12"}, c), "--frames: ' 12' is not a whole number");
    EXPECT_EQ(ParseSampleCommand({"a.avi", "--frames", "0x10"}, c), "--frames: '0x10' is not a whole number");
    EXPECT_EQ(ParseSampleCommand({"a.avi", "--frames", "2147483648"}, c),
              "--frames 2147483648 is out of range (1..100000)");
    EXPECT_EQ(ParseSampleCommand({"a.avi", "--seed", "18446744073709551616"}, c),
              "--seed 18446744073709551616 is too large (at most 18446744073709551615)");
    EXPECT_EQ(ParseSampleCommand({"a.avi", "--size", "4294967296x360"}, c),
              "--size: width 4294967296 is too large (at most 1048576)");
    EXPECT_EQ(ParseSampleCommand({"a.avi", "--jpeg-quality=+50", "--digit-height", "+20"}, c), "");
    EXPECT_EQ(c.scene.jpegQuality, 50);
    EXPECT_EQ(ParseSampleCommand({"--frames", "5", "--", "-dash.avi"}, c), "");
    EXPECT_EQ(c.outPath, "-dash.avi");
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
    const SampleOptions sample = SmallOptions();
    const SampleScene scene(sample);
    for (const char* name : {"s.avi", "s.mp4"}) {
        const std::string path = (dir_ / name).string();
        ASSERT_EQ(WriteSample(path, sample), "") << name;
        cv::VideoCapture capture(path);
        ASSERT_TRUE(capture.isOpened()) << name;
        int frames = 0;
        cv::Mat frame;
        double worst = 0.0;
        while (capture.read(frame)) {
            ASSERT_EQ(frame.size(), sample.size);
            cv::Mat diff;
            cv::absdiff(frame, scene.Frame(frames), diff);
            worst = std::max(worst, cv::mean(diff)[0]);
            ++frames;
        }
        EXPECT_EQ(frames, sample.frames) << name;
        EXPECT_LT(worst, 8.0) << name << ": the decoded frames are the scene's";
    }
    const std::string still = (dir_ / "s.png").string();
    ASSERT_EQ(WriteSample(still, sample), "");
    const cv::Mat image = cv::imread(still);
    ASSERT_FALSE(image.empty());
    EXPECT_EQ(cv::norm(image, scene.Frame(sample.frames / 2), cv::NORM_INF), 0.0);
}

TEST_F(SampleFiles, ReportsFilesItCannotWrite) {
    const std::string missingFolder = (dir_ / "no" / "such" / "folder" / "s.avi").string();
    const std::string message = WriteSample(missingFolder, SmallOptions());
    EXPECT_NE(message.find(missingFolder), std::string::npos) << message;

    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunMakeSample({missingFolder, "--frames", "2"}, out, err), 3);
    EXPECT_NE(err.str().find(missingFolder), std::string::npos);
    EXPECT_EQ(RunMakeSample({(dir_ / "x.avi").string(), "--digit-height", "5"}, out, err), 2);
    EXPECT_NE(err.str().find("--digit-height"), std::string::npos);

    std::ostringstream ok;
    const std::string path = (dir_ / "ok.avi").string();
    EXPECT_EQ(RunMakeSample({path, "--frames", "3", "--size", "320x240", "--digit-height", "20"},
                            ok, err),
              0);
    EXPECT_EQ(ok.str(), "Wrote " + path +
                            ": 3 frames of 320x240, number 52473063, digit height 20, light "
                            "digits\n");
    EXPECT_TRUE(fs::exists(path));
}

}  // namespace
}  // namespace kalvero
