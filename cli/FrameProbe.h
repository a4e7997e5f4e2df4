#pragma once
#include <string>

#include <opencv2/core.hpp>

namespace kalvero {

// What the reader learns about a file before the run: whether it opens, its
// first frame scaled as the run loop scales it, and its frame count.
struct FrameProbe {
    bool opened = false;         // the capture opened the file
    bool firstFrameRead = false; // and a first frame came out of it
    cv::Mat scaledFirstFrame;    // BGR, scaled by the zoom
    long long frameCount = 0;    // frames in the file; 0 when unknown
};

// Size of a frame of `cols` x `rows` scaled by `zoom`: each product taken in
// 32-bit float and truncated toward zero, as the run loop does.
cv::Size ScaledFrameSize(int cols, int rows, float zoom);

// Opens `path` with the same capture the run loop uses (videos and still
// images alike), reads the first frame and scales it by `zoom`.
FrameProbe ProbeFile(const std::string& path, float zoom);

}  // namespace kalvero
