#pragma once
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

namespace kalvero {

// The --annotate output: the run's finished frames (the window's overlays)
// written to a video at the source's frame rate. .mp4 and .mkv hold H.264
// in 4:2:0 (FFmpeg's encoder: browsers play it), .avi Motion-JPEG. The
// video is written under a temporary name beside the final one and renamed
// into place by Close once whole: the previous video survives a crash or a
// full disk.
class AnnotatedVideo {
public:
    AnnotatedVideo() = default;
    // Removes the temporary file of a video never closed.
    ~AnnotatedVideo();
    AnnotatedVideo(const AnnotatedVideo&) = delete;
    AnnotatedVideo& operator=(const AnnotatedVideo&) = delete;

    // True for the extensions it writes (any letter case).
    static bool KnownExtension(const std::string& path);

    // Makes sure `path` can be written before anything is read: the
    // extension is known and a file can be created in its folder (`path`
    // itself is not touched). False with `error` ("cannot write the
    // annotated video to 'P': reason").
    static bool Prepare(const std::string& path, std::string& error);

    // The frame rate to write at for a source that declares `declared`
    // frames per second: that rate, or 25 when it declares none or an
    // absurd one.
    static double RateFor(double declared);

    // The encoder's four-character code for `path`'s extension.
    static int FourccFor(const std::string& path);

    // The size the video is written at for frames of `size`: even sides.
    static cv::Size EncodedSize(cv::Size size);

    // Opens the writer for frames of `size` (a temporary file). False with
    // `error` set.
    bool Open(const std::string& path, double fps, cv::Size size, std::string& error);

    // Appends one RGB frame (the run loop's order). A frame of another size
    // (a stream that changed) is scaled to the video's.
    void Write(const cv::Mat& rgb);

    // Ends the video and renames it into place. False with `error` set when
    // it does not hold every frame written (a write failed: the temporary
    // file is removed and the previous video is left) or cannot be renamed.
    bool Close(std::string& error);

    int FramesWritten() const { return written_; }

private:
    cv::VideoWriter writer_;
    std::string path_;
    std::string temporary_;  // while open
    cv::Size size_;
    cv::Mat bgr_;
    int written_ = 0;
};

}  // namespace kalvero
