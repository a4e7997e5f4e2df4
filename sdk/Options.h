#pragma once
#include <string>

#include <opencv2/core.hpp>

#include "kalvero/kalvero.h"
#include "recognition_common/RecognitionEngine.h"

// The settings a reader is made with. The defaults are kalvero-read's
// (ReaderOptions): the learned engine, the whole frame, no digit height,
// a vote of 5 over 30 frames, 3 frames in a row, the check-digit rule on.
struct kalvero_options {
    kalvero::RecognitionEngine engine = kalvero::RecognitionEngine::Learned;
    bool hasZone = false;
    cv::Rect zone;
    int digitHeight = 0;  // 0: none given
    int depth = 30;
    int threshold = 5;
    int confirmFrames = 3;
    bool checkDigit = true;
};

namespace kalvero::sdk {

// Checks that the options go together (the digit height against the
// engine). Returns KALVERO_OK, or a status with the message set.
int CheckOptions(const kalvero_options& options);

// The digit height the engines are handed: the glyph engine's 29 when
// none is given.
int EngineDigitHeight(const kalvero_options& options);

}  // namespace kalvero::sdk
