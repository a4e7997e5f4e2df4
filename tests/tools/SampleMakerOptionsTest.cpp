#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/videoio.hpp>

#include "support/ScopedVariable.h"
#include "tools/SampleVideo.h"
#include "tools/SceneConditions.h"
#include "tools/ToolsTestFiles.h"

namespace kalvero {
namespace {

namespace fs = std::filesystem;

class SampleMakerFiles : public TestWithFolder<true> {
protected:
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
};

// A bad value is a usage error (status 2) whose message names the option
// and the accepted range, and nothing is written.
struct Refusal {
    std::vector<std::string> args;
    std::string said;
};

class SampleMakerRefuses : public SampleMakerFiles, public ::testing::WithParamInterface<Refusal> {};

TEST_P(SampleMakerRefuses, BadValuesWithTheirRange) {
    std::vector<std::string> args = GetParam().args;
    const std::string out = Path(args.front());
    args.front() = out;
    std::ostringstream o;
    std::ostringstream e;
    EXPECT_EQ(RunMakeSample(args, o, e), 2) << e.str();
    EXPECT_NE(e.str().find(GetParam().said), std::string::npos) << e.str();
    EXPECT_FALSE(fs::exists(out));
}

INSTANTIATE_TEST_SUITE_P(
    Options, SampleMakerRefuses,
    ::testing::Values(
        Refusal{{"a.avi", "--size", "319x240"}, "--size 319x240 is out of range (320x240..3840x2160)"},
        Refusal{{"a.avi", "--size", "320x239"}, "(320x240..3840x2160)"},
        Refusal{{"a.avi", "--size", "3841x2160"}, "(320x240..3840x2160)"},
        Refusal{{"a.avi", "--size", "3840x2161"}, "(320x240..3840x2160)"},
        Refusal{{"a.avi", "--digit-height", "9"}, "--digit-height 9 is out of range (10..250)"},
        Refusal{{"a.avi", "--digit-height", "251"}, "--digit-height 251 is out of range (10..250)"},
        Refusal{{"a.avi", "--size", "640x480", "--digit-height", "250"}, "too large"},
        Refusal{{"a.avi", "--condition", "night,fog"}, "unknown condition 'fog'"},
        Refusal{{"a.avi", "--condition", ""}, "--condition"},
        Refusal{{"a.avi", "--yaw", "46"}, "--yaw 46 is out of range"},
        Refusal{{"a.avi", "--yaw", "-1"}, "--yaw"},
        Refusal{{"a.avi", "--roll", "8.5"}, "--roll 8.5 is out of range"},
        Refusal{{"a.avi", "--codec", "h265"}, "(h264, mpeg4 or mjpeg)"},
        Refusal{{"a.avi", "--bitrate", "5"}, "--bitrate 5 is out of range (10..100000)"},
        Refusal{{"a.png", "--codec", "h264"}, "videos only"},
        Refusal{{"a.png", "--bitrate", "300"}, "videos only"},
        Refusal{{"a.avi", "--negative", "eight"}, "phone-number"},
        Refusal{{"a.avi", "--font", "cursive"}, "block-stencil, hand"},
        Refusal{{"a.avi", "--size", "320x240", "--digit-height", "30", "--condition", "painted-twice"},
                "painted-twice"}));

TEST(SampleMakerHelp, ListsEveryOptionAndValue) {
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunMakeSample({"--help"}, out, err), 0);
    const std::string help = out.str();
    for (const char* option : {"--number", "--frames", "--size", "--digit-height", "--polarity", "--seed", "--font",
                               "--varied", "--scene", "--negative", "--condition", "--yaw", "--roll", "--number2",
                               "--jpeg-quality", "--codec", "--bitrate", "--truth", "--crops", "--fonts",
                               "--negatives-share", "--conditions", "--jobs", "320x240..3840x2160", "10..250",
                               "h264, mpeg4 or mjpeg", "block-stencil", "hand"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    for (const auto& [name, condition] : ConditionNames()) {
        EXPECT_NE(help.find(name), std::string::npos) << name;
    }
    for (const auto& [name, negative] : NegativeNames()) {
        EXPECT_NE(help.find(name), std::string::npos) << name;
    }
}

TEST(SampleMakerOptions, ConditionsCombineAndTheAnglesImplyPerspective) {
    SampleCommand c;
    ASSERT_EQ(ParseSampleCommand({"a.avi", "--condition", "night,rain", "--condition", "night,fast"}, c), "");
    EXPECT_EQ(c.scene.conditions,
              (std::vector<SceneCondition>{SceneCondition::Night, SceneCondition::Rain, SceneCondition::Fast}));
    ASSERT_EQ(ParseSampleCommand({"a.avi", "--yaw", "30", "--roll=-4.5"}, c), "");
    EXPECT_EQ(c.scene.conditions, std::vector<SceneCondition>{SceneCondition::Perspective});
    EXPECT_DOUBLE_EQ(c.scene.yawDegrees, 30.0);
    EXPECT_DOUBLE_EQ(c.scene.rollDegrees, -4.5);
    ASSERT_EQ(ParseSampleCommand({"a.mp4", "--codec", "mpeg4", "--bitrate", "300", "--size", "3840x2160",
                                  "--digit-height", "250"},
                                 c),
              "");
    EXPECT_EQ(c.encoding.codec, VideoCodec::Mpeg4);
    EXPECT_EQ(c.encoding.bitrateKbits, 300);
    EXPECT_FALSE(c.scene.IsDefault() && !c.scene.conditions.empty());
}

bool FfmpegInstalled() { return std::system("ffmpeg -version > /dev/null 2>&1") == 0; }

struct Decoded {
    int frames = 0;
    cv::Size size;
};

Decoded Decode(const std::string& path) {
    Decoded d;
    cv::VideoCapture capture(path);
    cv::Mat frame;
    while (capture.read(frame)) {
        d.size = frame.size();
        ++d.frames;
    }
    return d;
}

// Each codec and container that FFmpeg writes decodes in OpenCV with the
// frames and size asked for; a low bitrate gives a smaller file.
struct Encoding {
    std::string file;
    std::vector<std::string> args;
    cv::Size size{322, 242};
};

class SampleMakerEncodes : public SampleMakerFiles, public ::testing::WithParamInterface<Encoding> {};

TEST_P(SampleMakerEncodes, VideosOpenCvDecodes) {
    if (!FfmpegInstalled()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    std::vector<std::string> args{Path(GetParam().file), "--frames", "7", "--size", "322x242", "--digit-height", "16"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunMakeSample(args, out, err), 0) << err.str();
    const Decoded d = Decode(args.front());
    EXPECT_EQ(d.frames, 7);
    EXPECT_EQ(d.size, GetParam().size);
}

INSTANTIATE_TEST_SUITE_P(
    Options, SampleMakerEncodes,
    ::testing::Values(Encoding{"h264.mp4", {}}, Encoding{"h264.avi", {"--codec", "h264", "--condition", "night"}},
                      Encoding{"odd.mp4", {"--size", "321x241"}, {321, 241}},
                      Encoding{"mpeg4.mp4", {"--codec", "mpeg4", "--bitrate", "200"}},
                      Encoding{"mjpeg.mp4", {"--codec", "mjpeg"}},
                      Encoding{"low.mp4", {"--bitrate", "40", "--varied"}}));

TEST_F(SampleMakerFiles, LowBitrateGivesASmallerFile) {
    if (!FfmpegInstalled()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    std::ostringstream out;
    std::ostringstream err;
    const std::vector<std::string> common{"--frames", "10", "--size", "640x360", "--varied"};
    std::vector<std::string> good{Path("good.mp4")};
    good.insert(good.end(), common.begin(), common.end());
    std::vector<std::string> low{Path("low.mp4"), "--bitrate", "60"};
    low.insert(low.end(), common.begin(), common.end());
    ASSERT_EQ(RunMakeSample(good, out, err), 0) << err.str();
    ASSERT_EQ(RunMakeSample(low, out, err), 0) << err.str();
    EXPECT_LT(fs::file_size(Path("low.mp4")) * 2, fs::file_size(Path("good.mp4")));
}

// A sample is drawn again to the byte: H.264 with its bitrate capped too
// (the evaluation draws its low-bitrate videos anew from their seeds).
TEST_F(SampleMakerFiles, TheSameSampleAtACappedBitrateIsTheSameFileEachTime) {
    if (!FfmpegInstalled()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    const std::vector<std::string> common{"--frames", "20", "--size", "640x360", "--digit-height", "42",
                                          "--varied", "--scene", "enter-leave", "--seed", "40708",
                                          "--codec", "h264", "--bitrate", "160"};
    std::vector<std::vector<char>> files;
    for (const char* name : {"first.mp4", "second.mp4"}) {
        std::vector<std::string> args{Path(name)};
        args.insert(args.end(), common.begin(), common.end());
        std::ostringstream out;
        std::ostringstream err;
        ASSERT_EQ(RunMakeSample(args, out, err), 0) << err.str();
        std::ifstream in(Path(name), std::ios::binary);
        files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_FALSE(files[0].empty());
    EXPECT_TRUE(files[0] == files[1]) << "two draws of one sample differ";
}

// Runs the sample maker on `args` with KALVERO_FFMPEG naming `ffmpeg`.
int RunWithFfmpeg(const char* ffmpeg, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const kalvero::testing::ScopedVariable variable("KALVERO_FFMPEG", ffmpeg);
    return RunMakeSample(args, out, err);
}

TEST_F(SampleMakerFiles, MissingFfmpegFailsWithAMessage) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunWithFfmpeg("/no/such/ffmpeg", {Path("x.mp4"), "--frames", "3"}, out, err);
    EXPECT_EQ(status, 3);
    EXPECT_NE(err.str().find("ffmpeg"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("/no/such/ffmpeg"), std::string::npos) << err.str();
    EXPECT_EQ(out.str(), "");
}

TEST_F(SampleMakerFiles, FfmpegThatFailsIsReported) {
    // A program that starts but writes nothing stands for an encoder that fails.
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunWithFfmpeg("false", {Path("x.mp4"), "--frames", "3"}, out, err);
    EXPECT_EQ(status, 3);
    EXPECT_NE(err.str().find("could not write the video"), std::string::npos) << err.str();
    // MPEG-4 part 2 halves the chroma and needs an even size.
    EXPECT_EQ(RunMakeSample({Path("odd.avi"), "--frames", "3", "--codec", "mpeg4", "--size", "321x241"}, out, err), 3);
    EXPECT_NE(err.str().find("even"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace kalvero
