#pragma once
#include <string>

#include <opencv2/core.hpp>

namespace kalvero {

// What the reader learns about a file before the run: whether it opens, its
// first frame scaled as the run loop scales it, and its frame count.
struct FrameProbe {
    bool opened = false;         // the frame source opened the file
    bool firstFrameRead = false; // and a first frame came out of it
    cv::Mat scaledFirstFrame;    // BGR, scaled by the zoom
    long long frameCount = 0;    // frames in the file; 0 when unknown
};

// Opens `path` with the run loop's own frame source (videos and still
// images alike), reads the first frame and scales it by `zoom` the way the
// loop does. With `countFrames` the number of frames is looked up too (1 for
// a still image, the container's count for a video when it states one).
FrameProbe ProbeFile(const std::string& path, float zoom, bool countFrames);

}  // namespace kalvero
