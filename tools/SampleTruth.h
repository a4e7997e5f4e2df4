#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

// A painted digit group as one frame shows it.
struct TruthObject {
    std::string text;
    bool isNumber = false;   // a carriage number; otherwise a distractor group
    cv::Rect box;            // axis-aligned box of the digits, clipped to the frame
    bool fullyVisible = true;
    bool occluded = false;   // something in front (a mast) hides part of it
};

// What a truth file says about the whole sample.
struct SampleTruth {
    std::string file;
    cv::Size size;
    int frames = 0;                         // frames in the file (1 for a still)
    double framesPerSecond = 25.0;
    std::string font;
    std::uint64_t seed = 0;
    std::vector<std::string> numbers;       // carriage numbers shown, in order
    std::vector<std::vector<TruthObject>> frameObjects;  // [i] is frame i + 1
};

// The truth as JSON: {"file", "width", "height", "frames", "fps", "font",
// "seed", "numbers": [...], "frame_truth": [{"frame": 1, "objects": [{"text",
// "kind": "number"|"distractor", "box": [x, y, w, h], "fully_visible"}]}]},
// with "occluded": true after "fully_visible" for an object a mast partly
// hides (absent otherwise); frames counted from 1 as the reader counts them.
std::string SampleTruthJson(const SampleTruth& truth);

// Writes SampleTruthJson to `path`. Returns an empty text on success,
// else a message naming the file.
std::string WriteSampleTruth(const std::string& path, const SampleTruth& truth);

}  // namespace kalvero
