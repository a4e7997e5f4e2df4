// kalvero-read's review outputs (--annotate, --crops, --report), run as a
// separate process; the report is rendered by headless Chromium.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "ReaderProcess.h"
#include "tools/SampleVideo.h"

namespace kalvero {
namespace {

using namespace testing_cli;
namespace fs = std::filesystem;

const char* const kDejaVuBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// Two carriages in a common font, which the learned engine reads.
std::string TwoCarriages() {
    static const std::string path = [] {
        const std::string p = ScratchDir() + "/review-two.avi";
        std::ostringstream out, err;
        if (RunMakeSample({p, "--scene", "two-carriages", "--number2", "58241837", "--frames",
                           "120", "--font", kDejaVuBold, "--truth", p + ".json"},
                          out, err) != 0) {
            throw std::runtime_error(err.str());
        }
        return p;
    }();
    return path;
}

std::vector<cv::Mat> Decode(const std::string& path) {
    std::vector<cv::Mat> frames;
    cv::VideoCapture capture(path, cv::CAP_FFMPEG);
    cv::Mat frame;
    while (capture.read(frame)) frames.push_back(frame.clone());
    return frames;
}

// Share of the pixels along the box's bottom edge that are yellow (the
// window's box colour), allowing for compression.
double YellowOnBottomEdge(const cv::Mat& bgr, const cv::Rect& box) {
    int yellow = 0, all = 0;
    for (int x = box.x + 2; x < box.x + box.width - 2 && x < bgr.cols; ++x) {
        const cv::Vec3b p = bgr.at<cv::Vec3b>(std::min(bgr.rows - 1, box.y + box.height), x);
        ++all;
        yellow += (p[0] < 110 && p[1] > 170 && p[2] > 170) ? 1 : 0;
    }
    return all == 0 ? 0.0 : static_cast<double>(yellow) / all;
}

TEST(ReaderReviewOutputs, TheAnnotatedVideoHasEveryFrameWithTheBoxAndBannerWhereTheWindowDrawsThem) {
    const std::string video = TwoCarriages();
    const std::vector<cv::Mat> source = Decode(video);
    ASSERT_EQ(source.size(), 120u);
    for (const char* ext : {".avi", ".mp4", ".mkv"}) {
        const std::string out = ScratchDir() + "/annotated" + ext;
        const ProcessResult r = RunReaderProcess(
            {video, "--engine", "learned", "--zone", "0,110,640,80", "--json", "--annotate", out});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<cv::Mat> frames = Decode(out);
        ASSERT_EQ(frames.size(), source.size()) << ext;
        ASSERT_EQ(frames[0].size(), source[0].size());
        // Frame 10 (index 9): the best reading's box in yellow, which the
        // source does not have, and the confirmed number's white banner in
        // the bottom-left corner.
        const std::vector<std::string> lines = Lines(r.out);
        std::smatch m;
        ASSERT_TRUE(std::regex_search(lines.at(9), m,
                                      std::regex("\"x\": ([0-9]+), \"y\": ([0-9]+), \"width\": "
                                                 "([0-9]+), \"height\": ([0-9]+)")))
            << lines.at(9);
        ASSERT_NE(lines.at(9).find("\"confirmed\": \"52473063\""), std::string::npos) << lines.at(9);
        const cv::Rect box(std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4]));
        EXPECT_GT(YellowOnBottomEdge(frames[9], box), 0.6) << ext << " " << box;
        EXPECT_LT(YellowOnBottomEdge(source[9], box), 0.1);
        // The banner: red text on white, from x 40 up to 40 pixels above
        // the bottom.
        const cv::Rect banner(40, 360 - 62, 160, 22);
        cv::Mat white, red;
        cv::inRange(frames[9](banner), cv::Scalar(200, 200, 200), cv::Scalar(255, 255, 255), white);
        cv::inRange(frames[9](banner), cv::Scalar(0, 0, 180), cv::Scalar(90, 90, 255), red);
        EXPECT_GT(cv::countNonZero(white), banner.area() / 5) << ext;
        EXPECT_GT(cv::countNonZero(red), banner.area() / 6) << ext;
        cv::inRange(source[9](banner), cv::Scalar(200, 200, 200), cv::Scalar(255, 255, 255), white);
        EXPECT_LT(cv::countNonZero(white), banner.area() / 20);
        // No reading in frame 60 (between the carriages): no box there.
        EXPECT_NE(lines.at(59).find("\"readings\": []"), std::string::npos) << lines.at(59);
    }
}

TEST(ReaderReviewOutputs, EachPassGetsACropThatHoldsItsNumberAndTheReportShowsThemAll) {
    const std::string video = TwoCarriages();
    const std::string crops = ScratchDir() + "/crops";
    const std::string report = ScratchDir() + "/report.html";
    const ProcessResult r = RunReaderProcess({video, "--engine", "learned", "--zone",
                                              "0,110,640,80", "--crops", crops, "--report", report});
    ASSERT_EQ(r.status, 0) << r.err;
    std::map<std::string, std::string> byNumber;
    for (const auto& entry : fs::directory_iterator(crops)) {
        const std::string name = entry.path().filename().string();
        std::smatch m;
        ASSERT_TRUE(std::regex_match(name, m, std::regex("review-two-[0-9a-f]{8}_([0-9]{8})_f([0-9]{4})\\.png"))) << name;
        byNumber[m[1]] = entry.path().string();
    }
    ASSERT_EQ(byNumber.size(), 2u);
    // Each crop is found in its best frame where the truth file puts its
    // number, and holds the whole of it.
    const std::vector<cv::Mat> frames = Decode(video);
    const char* const truthBox = R"PY(
import json, sys
truth = json.load(open(sys.argv[1]))
for f in truth["frame_truth"]:
    if f["frame"] == int(sys.argv[3]):
        for o in f["objects"]:
            if o["text"] == sys.argv[2]:
                print(*o["box"])
)PY";
    for (const auto& [number, path] : byNumber) {
        const std::string frameText = path.substr(path.size() - 8, 4);
        const int frame = std::stoi(frameText);
        std::string box;
        ASSERT_TRUE(RunPython(truthBox, {video + ".json", number, std::to_string(frame)}, box)) << box;
        std::istringstream in(box);
        cv::Rect truth;
        ASSERT_TRUE(in >> truth.x >> truth.y >> truth.width >> truth.height) << number << " " << box;
        const cv::Mat crop = cv::imread(path);
        cv::Mat score;
        cv::matchTemplate(frames.at(frame - 1), crop, score, cv::TM_CCOEFF_NORMED);
        double best = 0.0;
        cv::Point at;
        cv::minMaxLoc(score, nullptr, &best, nullptr, &at);
        EXPECT_GT(best, 0.5) << number;  // the drawn box frame differs from the source
        const cv::Rect where(at, crop.size());
        EXPECT_EQ(where & truth, truth) << number << ": crop " << where << ", number " << truth;
    }
    for (const auto& [number, path] : byNumber) {
        const cv::Mat crop = cv::imread(path);
        ASSERT_FALSE(crop.empty()) << path;
        EXPECT_GT(crop.cols, crop.rows) << number;
    }

    const std::string html = ReadFile(report);
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(html.find("52473063"), std::string::npos);
    EXPECT_NE(html.find("58241837"), std::string::npos);
    // Self-contained: pictures inlined, nothing fetched.
    std::size_t images = 0;
    for (std::size_t at = 0; (at = html.find("src=\"data:image/png;base64,", at)) != std::string::npos; ++at) ++images;
    EXPECT_EQ(images, 2u);
    EXPECT_EQ(html.find("src=\"http"), std::string::npos);
    std::size_t plots = 0;
    for (std::size_t at = 0; (at = html.find("<svg", at)) != std::string::npos; ++at) ++plots;
    EXPECT_EQ(plots, 2u);
}

// Renders the report in Chromium (Debian's package, installed by
// scripts/bootstrap) and looks at the picture: the crops (found by their
// own carriage colour, which nothing else on the page has) and the plots'
// blue lines must be on screen.
TEST(ReaderReviewOutputs, TheReportRendersInARealBrowser) {
    if (std::system("command -v chromium >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "chromium is not installed (scripts/bootstrap installs it)";
    }
    const std::string video = TwoCarriages();
    const std::string report = ScratchDir() + "/browser-report.html";
    const std::string crops = ScratchDir() + "/browser-crops";
    const ProcessResult r = RunReaderProcess(
        {video, "--engine", "learned", "--zone", "0,110,640,80", "--report", report, "--crops", crops});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string shot = ScratchDir() + "/report.png";
    // TMPDIR: Chromium leaves a folder there, which the scratch folder's
    // removal takes with it.
    const std::string command = "TMPDIR=" + ScratchDir() +
                                " chromium --headless --no-sandbox --disable-gpu --hide-scrollbars "
                                "--user-data-dir=" + ScratchDir() + "/chromium-profile "
                                "--window-size=1400,500 --screenshot=" + shot + " file://" +
                                report + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const cv::Mat page = cv::imread(shot);
    ASSERT_FALSE(page.empty());
    // The carriage colour: the crop's median pixel.
    cv::Mat crop;
    for (const auto& entry : fs::directory_iterator(crops)) crop = cv::imread(entry.path().string());
    ASSERT_FALSE(crop.empty());
    cv::Scalar carriage;
    for (int c = 0; c < 3; ++c) {
        std::vector<unsigned char> values;
        for (int y = 0; y < crop.rows; ++y) {
            for (int x = 0; x < crop.cols; ++x) values.push_back(crop.at<cv::Vec3b>(y, x)[c]);
        }
        std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
        carriage[c] = values[values.size() / 2];
    }
    cv::Mat shown, blue;
    cv::inRange(page, carriage - cv::Scalar(10, 10, 10), carriage + cv::Scalar(10, 10, 10), shown);
    cv::inRange(page, cv::Scalar(150, 50, 0), cv::Scalar(255, 170, 120), blue);
    EXPECT_GT(cv::countNonZero(shown), 2000) << shot << " carriage colour " << carriage;
    EXPECT_GT(cv::countNonZero(blue), 100) << shot;
}

TEST(ReaderReviewOutputs, OutputsThatCannotBeWrittenStopTheReaderBeforeReading) {
    SampleOptions sample = SmallSample(cv::Size(320, 180), 8, 20);
    const std::string video = SampleFile("review-errors.avi", sample);
    const std::string missing = ScratchDir() + "/no-such-folder";
    const std::vector<std::vector<std::string>> cases = {
        {"--annotate", missing + "/a.mp4"},
        {"--annotate", ScratchDir() + "/a.gif"},
        {"--report", missing + "/r.html"},
        {"--crops", video},  // a file, not a folder
    };
    for (const auto& extra : cases) {
        std::vector<std::string> args = {video, "--digit-height", "20"};
        args.insert(args.end(), extra.begin(), extra.end());
        const ProcessResult r = RunReaderProcess(args);
        EXPECT_EQ(r.status, 2) << extra[1] << "\n" << r.err;
        EXPECT_EQ(r.out, "") << extra[1];
        EXPECT_NE(r.err.find("kalvero-read: cannot write"), std::string::npos) << r.err;
    }
    const ProcessResult two = RunReaderProcess(
        {video, video, "--digit-height", "20", "--annotate", ScratchDir() + "/two.mp4"});
    EXPECT_EQ(two.status, 2);
    EXPECT_EQ(two.out, "");
}

}  // namespace
}  // namespace kalvero
