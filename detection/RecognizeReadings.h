#pragma once
#include <vector>

#include <opencv2/core.hpp>

#include "detection/Reading.h"
#include "detection/RecognizeFrame.h"

namespace kalvero {

// Reads a zone with the engine that `settings` names and returns its
// readings best first: what RecognizeFrame returns, in the Reading form and
// with the learned engine's per-digit scores. With the glyph engine: same
// inputs, same refusals and the same order as RecognizeFrame. With the
// learned engine the digit height is only a hint (ReadLines: half to twice
// it; 0 or less: any height from 10 to 250 pixels).
std::vector<Reading> RecognizeReadings(const cv::Mat& zoneImage, const RecognitionSettings& settings);

// The readings of a frame's result record, in its order, each marked with
// the result's engine (and no digit scores: the record has none).
std::vector<Reading> ReadingsOf(const FrameResult& result);

// The frame result record of a list of readings, in list order, with
// `engine`; a text longer than an entry's name holds (19 characters) is
// dropped, as the glyph engine does.
FrameResult FrameResultOf(const std::vector<Reading>& readings, RecognitionEngine engine);

}  // namespace kalvero
