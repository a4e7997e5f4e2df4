#pragma once
#include <opencv2/core.hpp>

#include "detection/CorrelationPath.h"
#include "detection/RecognizeFrame.h"

namespace kalvero {

// RecognizeFrame's glyph search on the correlation path given. The product
// always reads on the fast path (RecognizeFrame); the reference path, which
// computes every correlation map in full on the calling thread, is reached
// only through here, by the tests and benchmarks that compare the two. Same
// refusals, readings and order as RecognizeFrame on either path.
FrameResult DetectFrame(const cv::Mat& zoneImage, const RecognitionSettings& settings, CorrelationPath path);

}  // namespace kalvero
