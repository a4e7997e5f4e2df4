#pragma once
#include <string>
#include <vector>

#include "cli/CarriagePass.h"
#include "kalvero/kalvero.h"
#include "worker/FrameSink.h"

// One carriage pass as the C interface hands it out.
struct kalvero_pass {
    std::string number;
    bool checkDigit = false;
    int firstFrame = 0;
    int lastFrame = 0;
    double startSeconds = 0.0;
    double endSeconds = 0.0;
    float bestScore = 0.0f;
    kalvero_box bestBox{0, 0, 0, 0};
    const char* direction = "none";
};

// One reading of a frame, its box in frame pixels.
struct kalvero_frame_reading {
    std::string text;
    kalvero_box box{0, 0, 0, 0};
    float score = 0.0f;
    std::vector<float> digitScores;
    bool checkDigit = false;
};

// What reading one frame gave: its readings, the number confirmed with it
// and the passes that ended with it.
struct kalvero_frame {
    int number = 0;
    double timestampSeconds = 0.0;
    std::vector<kalvero_frame_reading> readings;
    bool hasConfirmed = false;
    std::string confirmed;
    std::vector<kalvero_pass> passes;
};

namespace kalvero::sdk {

// The C interface's view of a run-loop frame (boxes moved from the zone's
// pixels to the frame's).
kalvero_frame FrameFrom(const FrameReport& report);

// The C interface's view of a pass.
kalvero_pass PassFrom(const CarriagePass& pass);

}  // namespace kalvero::sdk
