#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "tools/SampleWriter.h"
#include "tools/SceneOptions.h"

namespace kalvero {

// What a sample video shows: one carriage panel carrying `number`, moving
// from right to left across a fixed background.
struct SampleOptions {
    std::string number = "52473063";  // check digit holds
    int frames = 60;
    cv::Size size{640, 360};
    int digitHeight = 29;
    bool lightDigits = true;  // light digits on a dark panel, else dark on light
    std::uint64_t seed = 1;
    double framesPerSecond = 25.0;
};

// Checks a sample: number made of 1..19 decimal digits, 1..100000 frames,
// digit height 10..250, a frame of 64x64..4096x4096 pixels with room for the
// number on the panel. Returns an empty text when it is sound, else the
// reason ("digit height 300 is out of range (10..200)").
std::string ValidateSampleOptions(const SampleOptions& sample);

// The scene of a sample video, built once from a valid sample; every frame is
// then a shifted view of the panel over the background, blurred and noised.
// The same sample always gives the same frames.
class SampleScene {
public:
    explicit SampleScene(const SampleOptions& sample);

    int FrameCount() const { return sample_.frames; }
    const SampleOptions& Sample() const { return sample_; }

    // Frame `index` (0-based), BGR, of the sample's size.
    cv::Mat Frame(int index) const;

    // Box of the drawn glyphs in frame `index`, frame pixels.
    cv::Rect NumberBox(int index) const;

    // Left edge of the panel in frame `index`, frame pixels (may be negative).
    int PanelLeft(int index) const;

private:
    SampleOptions sample_;
    cv::Mat background_;   // fixed scene behind the carriage
    cv::Mat panel_;        // the whole carriage side, number included
    int panelTop_ = 0;     // frame row of the panel's top edge
    cv::Rect numberOnPanel_;  // glyph box in panel pixels
    int firstNumberLeft_ = 0; // frame x of the number in the first and last frame
    int lastNumberLeft_ = 0;
};

// Writes the sample to `path`: a video (.avi and .mkv as Motion-JPEG, .mp4
// and .mov as MPEG-4 part 2) or, for .png/.jpg/.jpeg/.bmp/.tif/.tiff, the
// middle frame as a still image. Returns an empty text on success, else a
// message naming the file.
std::string WriteSample(const std::string& path, const SampleOptions& sample, const VideoEncoding& encoding = {});

// Frame sizes the command line accepts: 320x240 up to 3840x2160.
constexpr int kMinSampleWidth = 320;
constexpr int kMinSampleHeight = 240;
constexpr int kMaxSampleWidth = 3840;
constexpr int kMaxSampleHeight = 2160;

// Command line of kalvero-make-sample, parsed.
struct SampleCommand {
    std::string outPath;
    SampleOptions sample;
    SceneOptions scene;
    VideoEncoding encoding;
    std::string truthPath;  // empty: no truth file
    bool help = false;
};

// Parses the arguments after the program name. Returns an empty text on
// success, else a one-line message naming the faulty option or value.
std::string ParseSampleCommand(const std::vector<std::string>& args, SampleCommand& command);

// Usage text of kalvero-make-sample.
std::string SampleUsage();

// Runs kalvero-make-sample: 0 written, 2 usage error, 3 the file could not
// be written. Messages go to `err`, the one-line report to `out`.
int RunMakeSample(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kalvero
