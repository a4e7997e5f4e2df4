#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <opencv2/core.hpp>

#include "cli/DamagedSpan.h"
#include "cli/TimeOfDay.h"

namespace kalvero {

// Which way a carriage's number moved across the picture.
enum class TravelDirection { None, Left, Right };

// "left", "right" or "none".
const char* DirectionName(TravelDirection direction);

// One carriage number going by: the frames from the first to the last in
// which it was read, at least one of them confirmed by the vote.
struct CarriagePass {
    std::string file;                 // the input it was read from
    std::string number;
    bool checkDigit = false;          // the number's check digit holds
    int firstFrame = 0;               // frames counted from 1
    int lastFrame = 0;
    double startSeconds = 0.0;        // the source's timestamps of those frames
    double endSeconds = 0.0;
    std::optional<TimeOfDay> startTime;  // the times of day of those frames, when known
    std::optional<TimeOfDay> endTime;
    int firstConfirmedFrame = 0;
    std::vector<std::pair<int, int>> readFrames;  // runs [first, last] of frames reading it
    std::vector<std::pair<int, float>> scores;    // (frame, score) of every frame reading it
    float bestScore = 0.0f;
    int bestFrame = 0;
    cv::Rect bestBox;                 // its box in the best frame (scaled-frame pixels)
    cv::Mat bestCrop;                 // RGB picture around it in the best frame; empty when
                                      // the run kept no pictures
    TravelDirection direction = TravelDirection::None;
    std::vector<DamagedSpan> damaged;  // frames lost to damage between its first and last frame

    // How many frames read it.
    int FramesRead() const { return static_cast<int>(scores.size()); }
    // How many frames were lost to damage within it.
    long long DamagedFrames() const {
        long long frames = 0;
        for (const DamagedSpan& span : damaged) frames += span.frames;
        return frames;
    }
};

}  // namespace kalvero
