#include "VideoFixtures.h"

#include <atomic>
#include <cstdio>
#include <filesystem>

#include <unistd.h>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "tools/NumberPainter.h"

namespace kalvero::testing {

namespace {

std::atomic<int> fileCounter{0};

}  // namespace

TempFile::TempFile(const std::string& extension) {
    const auto folder = std::filesystem::temp_directory_path();
    const std::string name = "kalvero_test_" + std::to_string(::getpid()) + "_" +
                             std::to_string(fileCounter.fetch_add(1)) + "." + extension;
    path_ = (folder / name).string();
}

TempFile::~TempFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

bool WriteVideo(const std::string& path, const std::vector<cv::Mat>& frames, double framesPerSecond) {
    if (frames.empty()) return false;
    const cv::Size size = frames.front().size();
    cv::VideoWriter writer(path, cv::CAP_OPENCV_MJPEG, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'),
                           framesPerSecond, size, true);
    if (!writer.isOpened()) return false;
    writer.set(cv::VIDEOWRITER_PROP_QUALITY, 95);
    for (const cv::Mat& frame : frames) {
        if (frame.size() != size || frame.type() != CV_8UC3) return false;
        writer.write(frame);
    }
    writer.release();
    return true;
}

bool WriteEmptyVideo(const std::string& path, cv::Size size) {
    cv::VideoWriter writer(path, cv::CAP_OPENCV_MJPEG, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 25.0, size,
                           true);
    return writer.isOpened();
}

std::vector<cv::Mat> PlainFrames(cv::Size size, int count) {
    std::vector<cv::Mat> frames;
    for (int i = 0; i < count; ++i) {
        cv::Mat frame(size, CV_8UC3);
        FillTexture(frame, 110.0, 10.0, 7);
        cv::rectangle(frame, cv::Rect(4, 4, 4 + 3 * (i % 20), 4), cv::Scalar(200, 200, 200), cv::FILLED);
        frames.push_back(frame);
    }
    return frames;
}

std::vector<cv::Mat> NumberFrames(cv::Size size, int count, const std::string& number, int digitHeight,
                                  cv::Point origin, cv::Rect* numberBox) {
    PanelStyle style;
    style.number = number;
    style.digitHeight = digitHeight;
    style.lightDigits = true;
    style.contrast = 140.0;
    style.textureAmplitude = 6.0;
    const cv::Mat panel = MakeNumberPanel(size, origin, style, numberBox);
    return std::vector<cv::Mat>(static_cast<std::size_t>(count), panel);
}

TestVideo::TestVideo(const std::vector<cv::Mat>& frames) : file("avi") {
    written = WriteVideo(file.path(), frames);
    EXPECT_TRUE(written) << "could not write " << file.path();
}

}  // namespace kalvero::testing
