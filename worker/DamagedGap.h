#pragma once

namespace kalvero {

// Frames of a video file that could not be decoded, told by the gap they
// leave in the container's timestamps between the good frames around them.
struct DamagedGap {
    long long frames = 0;  // frames lost, at least 1
    double fromMs = 0.0;   // time of the good frame before the gap (0 when the gap opens the file)
    double toMs = 0.0;     // time of the good frame after it
};

}  // namespace kalvero
