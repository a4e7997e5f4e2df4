#pragma once

namespace kalvero {

// Frames of the input that could not be decoded, between two frames read:
// `frames` frames lost after frame `afterFrame` of the run (0: before the
// first), between the times `fromSeconds` and `toSeconds` of the frames
// around them.
struct DamagedSpan {
    int afterFrame = 0;
    long long frames = 0;
    double fromSeconds = 0.0;
    double toSeconds = 0.0;
};

}  // namespace kalvero
