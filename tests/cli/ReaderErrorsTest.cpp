// Every way kalvero-read refuses to run, with its exit status and message,
// plus the in-process paths (interruption, sign box) that need no process.
#include <atomic>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "ReaderProcess.h"
#include "cli/Reader.h"

namespace kalvero {
namespace {

using namespace testing_cli;

SampleOptions SmallStill() { return SmallSample({320, 180}, 1, 20); }

struct ErrorCase {
    std::vector<std::string> args;  // "@still" stands for a readable 320x180 image
    int status;
    std::string message;  // expected on standard error
};

TEST(ReaderErrors, UsageErrorsAndUnreadableFilesGiveTheirStatusAndAOneLineMessage) {
    const std::string still = SampleFile("still.png", SmallStill());
    const std::string missing = ScratchDir() + "/missing.avi";
    const std::string junk = ScratchDir() + "/junk.avi";
    std::ofstream(junk) << "this is not a video\n";
    const std::string junkImage = ScratchDir() + "/junk.png";
    std::ofstream(junkImage) << "this is not a picture\n";

    const std::vector<ErrorCase> cases = {
        {{"@still", "--bogus"}, 2, "kalvero-read: unknown option '--bogus'\n"},
        {{"@still", "--digit-height", "300"}, 2,
         "kalvero-read: --digit-height 300 is out of range (10..250)\n"},
        {{"@still", "--engine", "glyph", "--digit-height", "100"}, 2,
         "kalvero-read: --digit-height 100 is out of range for the glyph engine (16..99)\n"},
        {{"@still", "--zoom", "0.2"}, 2, "kalvero-read: --zoom 0.2 is out of range (0.3..1.0)\n"},
        {{"@still", "--depth", "501"}, 2, "kalvero-read: --depth 501 is out of range (5..500)\n"},
        {{"@still", "--threshold", "0"}, 2,
         "kalvero-read: --threshold 0 is out of range (1 or more)\n"},
        {{}, 2, "kalvero-read: no FILE given\n"},
        // The zone must fit the first frame as scaled by the zoom.
        {{"@still", "--zone", "0,0,321,180"}, 2,
         "kalvero-read: --zone 0,0,321,180 does not fit the first frame (320x180 after zoom 1)\n"},
        {{"@still", "--zoom", "0.5", "--zone", "10,10,151,40"}, 2,
         "kalvero-read: --zone 10,10,151,40 does not fit the first frame (160x90 after zoom "
         "0.5)\n"},
        {{"@still", "--sign", "300,100,21,20"}, 2,
         "kalvero-read: --sign 300,100,21,20 lies outside the first frame (320x180 after zoom "
         "1)\n"},
        {{missing}, 3, "kalvero-read: cannot open '" + missing + "': No such file or directory\n"},
        {{junk}, 3,
         "kalvero-read: cannot open '" + junk + "': not a video or image that OpenCV can decode\n"},
        {{junkImage}, 3,
         "kalvero-read: cannot open '" + junkImage +
             "': not a video or image that OpenCV can decode\n"},
    };
    for (const ErrorCase& c : cases) {
        std::vector<std::string> args = c.args;
        std::string joined;
        for (std::string& a : args) {
            if (a == "@still") a = still;
            joined += a + " ";
        }
        const ProcessResult r = RunReaderProcess(args);
        EXPECT_EQ(r.status, c.status) << joined << "\n" << r.err;
        // The message is the first line; usage errors add the --help hint.
        const std::string first = r.err.substr(0, r.err.find('\n') + 1);
        EXPECT_EQ(first, c.message) << joined;
        if (c.status == 2 && r.err.size() > first.size()) {
            EXPECT_EQ(r.err.substr(first.size()), "Try 'kalvero-read --help'.\n") << joined;
        }
        EXPECT_EQ(r.out, "") << joined;
    }
}

TEST(ReaderErrors, AVideoWhoseFirstFrameCannotBeReadGivesStatusThree) {
    SampleOptions sample = SmallStill();
    sample.frames = 4;
    const std::string video = SampleFile("tiny.avi", sample);
    std::ifstream in(video, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Keep the container's headers and index, blank every frame's data.
    const std::size_t movi = bytes.find("movi");
    const std::size_t index = bytes.rfind("idx1");
    ASSERT_NE(movi, std::string::npos);
    ASSERT_NE(index, std::string::npos);
    for (std::size_t i = movi + 12; i < index; ++i) bytes[i] = '\0';
    const std::string blank = ScratchDir() + "/blank.avi";
    std::ofstream(blank, std::ios::binary) << bytes;
    const ProcessResult r = RunReaderProcess({blank});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("kalvero-read: cannot read the first frame of '" + blank + "'\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(ReaderErrors, HelpAndVersionSucceed) {
    ProcessResult r = RunReaderProcess({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: kalvero-read FILE [options]\n", 0), 0u) << r.out;
    r = RunReaderProcess({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "kalvero-read (Kalvero) 1.0\n");
}

// In-process: an interruption seen after the first frame ends the run
// there, and the summary still comes.
TEST(ReaderInProcess, AnInterruptionEndsTheRunAfterTheCurrentFrame) {
    SampleOptions sample = SmallStill();
    sample.frames = 8;
    const std::string video = SampleFile("eight.avi", sample);
    std::ostringstream out;
    std::ostringstream err;
    ReaderEnvironment environment;
    int asked = 0;
    environment.interruptRequested = [&] { return ++asked >= 3; };
    const int status = RunReader({video, "--digit-height", "20", "--json"}, out, err, environment);
    EXPECT_EQ(status, 0) << err.str();
    EXPECT_EQ(Lines(out.str()).size(), 3u) << out.str();
    EXPECT_NE(err.str().find("Interrupted after frame 3.\nSummary: 3 frames read"),
              std::string::npos)
        << err.str();
}

// A speed-limit sign drawn the way a sign detector would hand it over: a
// white disc in a red ring with dark digits; the box is the white disc.
std::string SignImage(const std::string& value, cv::Rect& disc) {
    cv::Mat image(240, 320, CV_8UC3, cv::Scalar(140, 150, 145));
    const cv::Point centre(200, 110);
    const int radius = 70;
    cv::circle(image, centre, radius + 12, cv::Scalar(30, 30, 200), cv::FILLED, cv::LINE_AA);
    cv::circle(image, centre, radius, cv::Scalar(250, 250, 250), cv::FILLED, cv::LINE_AA);
    int baseline = 0;
    const double scale = 2.6;
    const int thickness = 9;
    const cv::Size text = cv::getTextSize(value, cv::FONT_HERSHEY_SIMPLEX, scale, thickness, &baseline);
    cv::putText(image, value, centre + cv::Point(-text.width / 2, text.height / 2),
                cv::FONT_HERSHEY_SIMPLEX, scale, cv::Scalar(20, 20, 20), thickness, cv::LINE_AA);
    disc = cv::Rect(centre.x - radius, centre.y - radius, 2 * radius, 2 * radius);
    const std::string path = ScratchDir() + "/sign" + value + ".png";
    cv::imwrite(path, image);
    return path;
}

TEST(ReaderInProcess, SignBoxPrintsTheSpeedOrThatNothingWasRead) {
    cv::Rect disc;
    const std::string sign = SignImage("50", disc);
    const std::string box = std::to_string(disc.x) + "," + std::to_string(disc.y) + "," +
                            std::to_string(disc.width) + "," + std::to_string(disc.height);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunReader({sign, "--sign", box}, out, err, {}), 0) << err.str();
    EXPECT_EQ(out.str(), "Sign " + box + ": speed limit 50\n");
    std::ostringstream asJson;
    EXPECT_EQ(RunReader({sign, "--sign", box, "--json"}, asJson, err, {}), 0) << err.str();
    EXPECT_NE(asJson.str().find("\"value\": 50}"), std::string::npos) << asJson.str();

    // Plain background: certainly no value, still status 0.
    std::ostringstream out2;
    EXPECT_EQ(RunReader({sign, "--sign", "0,0,60,60"}, out2, err, {}), 0);
    EXPECT_EQ(out2.str(), "Sign 0,0,60,60: no speed value read\n");
    std::ostringstream json;
    EXPECT_EQ(RunReader({sign, "--sign", "0,0,60,60", "--json"}, json, err, {}), 0);
    EXPECT_EQ(json.str(),
              "{\"sign\": {\"x\": 0, \"y\": 0, \"width\": 60, \"height\": 60}, \"value\": null}\n");
}

}  // namespace
}  // namespace kalvero
