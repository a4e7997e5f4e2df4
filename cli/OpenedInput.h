#pragma once
#include <memory>
#include <string>

#include <opencv2/core.hpp>

#include "worker/FrameSource.h"

namespace kalvero {

// An input file opened once for its whole run: what the reader learns
// about it before the run (whether it opens, its first frame scaled as the
// run loop scales it, its frame count and frame rate) comes from the same
// opening the run loop then reads every frame from (FrameSource::Handover).
struct OpenedInput {
    bool opened = false;          // the frame source opened the file
    bool firstFrameRead = false;  // and a first frame came out of it
    cv::Mat scaledFirstFrame;     // BGR, scaled by the zoom
    long long frameCount = 0;     // frames the file announces; 0 when unknown
    double framesPerSecond = 0.0; // the rate the file declares; 0 when none
    // Open, its first frame put back, for the run loop to take over.
    std::unique_ptr<FrameSource> source = std::make_unique<FrameSource>();
};

// Opens `path` with the run loop's own frame source (videos and still
// images alike), reads the first frame and scales it by `zoom` the way the
// loop does, and puts the frame back.
OpenedInput OpenInput(const std::string& path, float zoom);

// What kalvero-read says of an input `path` it cannot read: why it did not
// open (OpenFailure), or that its first frame cannot be read; empty when
// `input` opened with a first frame.
std::string InputProblem(const OpenedInput& input, const std::string& path);

}  // namespace kalvero
