// The pieces behind the review outputs: the report page, the crops and the
// run loop's pictures only for a sink that wants them.
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ReaderProcess.h"
#include "cli/HtmlReport.h"
#include "cli/InputId.h"
#include "cli/PassCrops.h"
#include "cli/PassTracker.h"
#include "worker/RunSettings.h"
#include "worker/VideoThread.h"

namespace kalvero {
namespace {

using namespace testing_cli;

std::vector<unsigned char> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(HtmlReport, Base64FollowsTheStandardVectors) {
    EXPECT_EQ(Base64(Bytes("")), "");
    EXPECT_EQ(Base64(Bytes("f")), "Zg==");
    EXPECT_EQ(Base64(Bytes("fo")), "Zm8=");
    EXPECT_EQ(Base64(Bytes("foo")), "Zm9v");
    EXPECT_EQ(Base64(Bytes("foobar")), "Zm9vYmFy");
    EXPECT_EQ(Base64({0xff, 0xfe, 0x00}), "//4A");
}

CarriagePass Pass() {
    CarriagePass p;
    p.file = "<script>alert(1)</script>.avi";
    p.number = "52473063";
    p.checkDigit = true;
    p.firstFrame = 10;
    p.lastFrame = 20;
    p.scores = {{10, 0.5f}, {15, 1.0f}, {20, 0.0f}};
    p.bestScore = 1.0f;
    p.bestFrame = 15;
    return p;
}

TEST(HtmlReport, PlotsScoresOverTheFramesOfThePassAndEscapesNames) {
    const std::string plot = ScorePlot(Pass(), 104, 44);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(plot, m, std::regex("points=\"([^\"]*)\""))) << plot;
    // Frames 10, 15 and 20 across 2..102; scores 0.5, 1 and 0 up from the
    // bottom (42) over 40 pixels to 1.1.
    EXPECT_EQ(m[1].str(), "2.0,23.8 52.0,5.6 102.0,42.0");
    const std::string html = HtmlReport({Pass()}, "Yard & <east>");
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;.avi"), std::string::npos);
    EXPECT_NE(html.find("<title>Yard &amp; &lt;east&gt;</title>"), std::string::npos);
    // Without a picture the row says so instead of an empty image.
    EXPECT_NE(html.find("no picture"), std::string::npos);
    EXPECT_EQ(html.find("<img"), std::string::npos);
}

TEST(PassCrops, CropsAreCutAroundTheBoxInsideThePictureAndNamedByNumberAndFrame) {
    cv::Mat image(100, 200, CV_8UC3, cv::Scalar(1, 2, 3));
    // Grown by half the height (10) left and right, a sixth (3) above and a
    // third (6) below.
    cv::Mat marked = image.clone();
    marked.at<cv::Vec3b>(37, 40) = cv::Vec3b(9, 9, 9);
    const cv::Mat cut = CutAround(marked, cv::Rect(50, 40, 60, 20));
    EXPECT_EQ(cut.size(), cv::Size(80, 29));
    EXPECT_EQ(cut.at<cv::Vec3b>(0, 0), cv::Vec3b(9, 9, 9));
    // Clipped at the picture's edges.
    EXPECT_EQ(CutAround(image, cv::Rect(0, 0, 60, 20)).size(), cv::Size(70, 26));
    EXPECT_EQ(CutAround(image, cv::Rect(190, 90, 60, 20)).size(), cv::Size(20, 13));
    EXPECT_TRUE(CutAround(image, cv::Rect(300, 300, 10, 10)).empty());
    CarriagePass p = Pass();
    p.file = "cams/east.mp4";
    p.bestFrame = 7;
    EXPECT_EQ(CropFileName(p), "east-" + InputId("cams/east.mp4") + "_52473063_f0007.png");
    std::string error;
    EXPECT_FALSE(WriteCrop(ScratchDir(), p, error));
    EXPECT_NE(error.find("no picture was kept"), std::string::npos);
}

// Records what the loop hands out; wants pictures or not.
class ImageSink : public FrameSink {
public:
    explicit ImageSink(bool wants) : wants_(wants) {}
    void OnFrame(const FrameReport& report) override {
        empty.push_back(report.rgbImage.empty());
        confirmed.push_back(report.confirmed);
        texts.push_back(report.voted);
    }
    bool WantsImage() const override { return wants_; }
    std::vector<bool> empty;
    std::vector<std::string> confirmed;
    std::vector<std::string> texts;

private:
    bool wants_;
};

TEST(RunLoopPictures, ASinkThatWantsNoPictureGetsNoneAndTheSameReadings) {
    SampleOptions sample = SmallSample(cv::Size(320, 180), 8, 20);
    const std::string video = SampleFile("pictures.avi", sample);
    std::vector<ImageSink> sinks = {ImageSink(true), ImageSink(false)};
    for (ImageSink& sink : sinks) {
        VideoThread block;
        RunSettings options;
        ASSERT_TRUE(StoreRunPath(options, video));
        options.numberH.store(20);
        options.zoneW.store(320);
        options.zoneH.store(180);
        options.colNum.store(3);
        block.optionsChanged.store(true);
        block.Run(sink, options);
        ASSERT_EQ(sink.empty.size(), 8u);
    }
    EXPECT_EQ(sinks[0].empty, std::vector<bool>(8, false));
    EXPECT_EQ(sinks[1].empty, std::vector<bool>(8, true));
    EXPECT_EQ(sinks[0].texts, sinks[1].texts);
    EXPECT_EQ(sinks[0].confirmed, sinks[1].confirmed);
    EXPECT_EQ(sinks[1].confirmed.back(), sample.number);
}

}  // namespace
}  // namespace kalvero
