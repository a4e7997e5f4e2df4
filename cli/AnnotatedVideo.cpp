#include "cli/AnnotatedVideo.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio/registry.hpp>

#include "command_line/LowerCase.h"
#include "command_line/PrintableText.h"

namespace kalvero {

namespace {

std::string Extension(const std::string& path) {
    return LowerCase(std::filesystem::path(path).extension().string());
}

std::string Cannot(const std::string& path) {
    return "cannot write the annotated video to '" + PrintableText(path) + "': ";
}

}  // namespace

bool AnnotatedVideo::KnownExtension(const std::string& path) {
    const std::string ext = Extension(path);
    return ext == ".mp4" || ext == ".mkv" || ext == ".avi";
}

bool AnnotatedVideo::Prepare(const std::string& path, std::string& error) {
    if (!KnownExtension(path)) {
        error = Cannot(path) + "the name must end in .mp4, .mkv or .avi";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = Cannot(path) + std::strerror(errno);
        return false;
    }
    std::fclose(file);
    return true;
}

double AnnotatedVideo::RateFor(double declared) {
    // Each frame's own timestamps would give a variable rate; the writers
    // take one number, and the declared rate is what players expect.
    constexpr double kFallbackFps = 25.0;
    return std::isfinite(declared) && declared >= 1.0 && declared <= 1000.0 ? declared : kFallbackFps;
}

bool AnnotatedVideo::Open(const std::string& path, double fps, cv::Size size, std::string& error) {
    const std::string ext = Extension(path);
    const int fourcc = ext == ".mp4" ? cv::VideoWriter::fourcc('m', 'p', '4', 'v')
                                     : cv::VideoWriter::fourcc('M', 'J', 'P', 'G');
    try {
        writer_.open(path, cv::CAP_FFMPEG, fourcc, fps, size, true);
    } catch (const cv::Exception& e) {
        error = Cannot(path) + e.what();
        return false;
    }
    if (!writer_.isOpened()) {
        error = Cannot(path) + "no encoder takes it";
        return false;
    }
    size_ = size;
    return true;
}

void AnnotatedVideo::Write(const cv::Mat& rgb) {
    if (!writer_.isOpened() || rgb.empty()) {
        return;
    }
    cv::cvtColor(rgb, bgr_, cv::COLOR_RGB2BGR);
    if (bgr_.size() != size_) {
        cv::resize(bgr_, bgr_, size_);
    }
    writer_.write(bgr_);
    ++written_;
}

}  // namespace kalvero
