#pragma once
#include <vector>

#include <opencv2/core.hpp>

#include "recognition_common/Reading.h"
#include "recognition_common/RecognitionEngine.h"
#include "detection/RecognizeFrame.h"

namespace kalvero {

// The readings of a frame's result record, in its order, each marked with
// the result's engine (and no digit scores: the record has none).
std::vector<Reading> ReadingsOf(const FrameResult& result);

// The frame result record of a list of readings, in list order, with
// `engine`; a text longer than an entry's name holds (19 characters) is
// dropped, as the glyph engine does.
FrameResult FrameResultOf(const std::vector<Reading>& readings, RecognitionEngine engine);

}  // namespace kalvero
