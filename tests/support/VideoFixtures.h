#pragma once
#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero::testing {

// A file name in the temporary folder that is unique to this process and
// removed again when the object goes.
class TempFile {
public:
    explicit TempFile(const std::string& extension);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Writes BGR frames (all of one size) as a Motion-JPEG .avi at the given
// rate. Returns false when the writer cannot be opened or a frame has the
// wrong size.
bool WriteVideo(const std::string& path, const std::vector<cv::Mat>& frames, double framesPerSecond = 25.0);

// Writes a Motion-JPEG .avi that opens but holds no frame at all.
bool WriteEmptyVideo(const std::string& path, cv::Size size);

// `count` frames of `size` with a plain textured surface and no number; the
// frame index is drawn as a small bar so that frames differ.
std::vector<cv::Mat> PlainFrames(cv::Size size, int count);

// `count` frames of `size` showing a carriage panel with `number` painted in
// the built-in glyphs, light on dark, its left edge at `origin` (top of the
// digits) and digits `digitHeight` pixels high. `numberBox` receives the box
// of the drawn digits.
std::vector<cv::Mat> NumberFrames(cv::Size size, int count, const std::string& number, int digitHeight,
                                  cv::Point origin, cv::Rect* numberBox = nullptr);

// Writes a video of `frames` to a new temporary .avi; fails the current test
// when it cannot be written.
struct TestVideo {
    explicit TestVideo(const std::vector<cv::Mat>& frames);
    TempFile file;
    bool written = false;
    const std::string& path() const { return file.path(); }
};

}  // namespace kalvero::testing
