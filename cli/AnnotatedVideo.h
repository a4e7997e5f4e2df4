#pragma once
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

namespace kalvero {

// The --annotate output: the run's finished frames (the window's overlays)
// written to a video at the source's frame rate. .mp4 holds MPEG-4 part 2,
// .mkv and .avi Motion-JPEG.
class AnnotatedVideo {
public:
    // True for the extensions it writes (any letter case).
    static bool KnownExtension(const std::string& path);

    // Makes sure `path` can be written before anything is read: the
    // extension is known and the file can be created. False with `error`
    // ("cannot write the annotated video to 'P': reason").
    static bool Prepare(const std::string& path, std::string& error);

    // The frame rate to write at for a source that declares `declared`
    // frames per second: that rate, or 25 when it declares none or an
    // absurd one.
    static double RateFor(double declared);

    // Opens the writer for frames of `size`. False with `error` set.
    bool Open(const std::string& path, double fps, cv::Size size, std::string& error);

    // Appends one RGB frame (the run loop's order). A frame of another size
    // (a stream that changed) is scaled to the video's.
    void Write(const cv::Mat& rgb);

    int FramesWritten() const { return written_; }

private:
    cv::VideoWriter writer_;
    cv::Size size_;
    cv::Mat bgr_;
    int written_ = 0;
};

}  // namespace kalvero
