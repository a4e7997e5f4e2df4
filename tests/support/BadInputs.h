#pragma once
#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero::testing {

// What the program must make of a damaged or unusual input file.
enum class BadInputOutcome {
    Refused,  // does not open, or no first frame: the reader exits with 3
    Played,   // plays `frames` frames to its end
    Either,   // damaged mid-file: may give some frames, may be refused
};

struct BadInput {
    std::string name;  // short description, also the file's base name
    std::string path;
    BadInputOutcome outcome = BadInputOutcome::Either;
    int frames = 0;  // Played: the number of frames it holds
};

// Writes an AVI with Motion-JPEG frames, each frame encoded at its own size
// and channel count (1 or 3), with an index. Unlike cv::VideoWriter this
// lets the frame size change in the middle of the stream. Returns false when
// the file cannot be written.
bool WriteMjpegAvi(const std::string& path, const std::vector<cv::Mat>& frames, int framesPerSecond = 25);

// Writes the corpus of bad inputs into `folder` (which must exist):
// an empty file, an AVI cut off after its header, an AVI and an MP4 each
// truncated at ten points, AVIs with random bytes flipped, a PNG named .avi,
// a text file named .mp4, 1 x 1 and 16 x 16 videos, a one-channel video, a
// video whose frame size changes in the middle, 16-bit PNGs, a PNG with an
// alpha channel, a PNG and a JPEG cut off, and a BMP whose header claims
// 16 million rows. The same folder always gets the same bytes.
std::vector<BadInput> WriteBadInputs(const std::string& folder);

}  // namespace kalvero::testing
