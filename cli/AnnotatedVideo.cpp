#include "cli/AnnotatedVideo.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio/registry.hpp>

#include "cli/AtomicFile.h"
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
    // The previous video stays as it is until the new one is whole.
    std::string reason;
    if (!CanCreateBeside(path, reason)) {
        error = Cannot(path) + reason;
        return false;
    }
    return true;
}

double AnnotatedVideo::RateFor(double declared) {
    // Each frame's own timestamps would give a variable rate; the writers
    // take one number, and the declared rate is what players expect.
    constexpr double kFallbackFps = 25.0;
    return std::isfinite(declared) && declared >= 1.0 && declared <= 1000.0 ? declared : kFallbackFps;
}

int AnnotatedVideo::FourccFor(const std::string& path) {
    return Extension(path) == ".avi" ? cv::VideoWriter::fourcc('M', 'J', 'P', 'G')
                                     : cv::VideoWriter::fourcc('a', 'v', 'c', '1');
}

cv::Size AnnotatedVideo::EncodedSize(cv::Size size) {
    // H.264 in 4:2:0 takes even sides only; the odd last row or column is cut.
    return cv::Size(std::max(2, size.width & ~1), std::max(2, size.height & ~1));
}

AnnotatedVideo::~AnnotatedVideo() {
    if (writer_.isOpened()) {
        writer_.release();
    }
    if (!temporary_.empty()) {
        std::remove(temporary_.c_str());
    }
}

bool AnnotatedVideo::Open(const std::string& path, double fps, cv::Size size, std::string& error) {
    path_ = path;
    temporary_ = TemporaryNameFor(path);
    size_ = EncodedSize(size);
    try {
        writer_.open(temporary_, cv::CAP_FFMPEG, FourccFor(path), fps, size_, true);
    } catch (const cv::Exception& e) {
        error = Cannot(path) + e.what();
    }
    if (error.empty() && !writer_.isOpened()) {
        error = Cannot(path) + "no encoder takes it";
    }
    if (!error.empty()) {
        std::remove(temporary_.c_str());
        temporary_.clear();
        return false;
    }
    return true;
}

void AnnotatedVideo::Write(const cv::Mat& rgb) {
    if (!writer_.isOpened() || rgb.empty()) {
        return;
    }
    cv::cvtColor(rgb, bgr_, cv::COLOR_RGB2BGR);
    if (bgr_.size() != size_) {
        const cv::Size extra = bgr_.size() - size_;
        if (extra.width >= 0 && extra.width <= 1 && extra.height >= 0 && extra.height <= 1) {
            bgr_ = bgr_(cv::Rect(cv::Point(0, 0), size_)).clone();
        } else {
            cv::resize(bgr_, bgr_, size_);
        }
    }
    writer_.write(bgr_);
    ++written_;
}

bool AnnotatedVideo::Close(std::string& error) {
    if (temporary_.empty()) {
        return true;
    }
    writer_.release();
    const std::string temporary = temporary_;
    temporary_.clear();
    // The encoder says nothing of a write that failed (a full disk): the
    // finished file must hold every frame written, or it is not one.
    int frames = -1;
    try {
        cv::VideoCapture check(temporary, cv::CAP_FFMPEG);
        if (check.isOpened()) {
            frames = static_cast<int>(check.get(cv::CAP_PROP_FRAME_COUNT));
        }
    } catch (const cv::Exception&) {
        frames = -1;
    }
    if (written_ > 0 && frames < written_) {
        const int code = errno;
        error = Cannot(path_) + "the video holds " + std::to_string(std::max(0, frames)) + " of " +
                std::to_string(written_) + " frames (" +
                (code == ENOSPC || code == EFBIG || code == EDQUOT ? std::strerror(code) : "the write failed") +
                ")";
        std::remove(temporary.c_str());
        return false;
    }
    std::string reason;
    if (!RenameInto(temporary, path_, reason)) {
        error = Cannot(path_) + reason;
        return false;
    }
    return true;
}

}  // namespace kalvero
