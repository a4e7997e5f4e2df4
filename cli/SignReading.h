#pragma once
#include <string>

#include <opencv2/core.hpp>

namespace kalvero {

class RecognitionTrace;

// Outcome of reading one speed-limit sign box.
struct SignReading {
    bool read = false;  // a speed value was read
    int value = 0;      // the speed value when read
    std::string text;   // its text ("50")
};

// Hands `box` of `frame` (BGR or grey, box inside the frame) to the
// recogniser dispatch as a region of the sign type code, with the code
// list {100}, templates scaled to `digitHeight`. `trace` may be null.
SignReading ReadSignBox(const cv::Mat& frame, cv::Rect box, int digitHeight,
                        RecognitionTrace* trace);

}  // namespace kalvero
