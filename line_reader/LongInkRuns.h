#pragma once
#include <opencv2/core.hpp>

namespace kalvero {

// Clears, in an 8-bit mask (0 = background, anything else = ink), every
// pixel that lies on a horizontal run of ink at least `longestAcross` long
// or on a vertical run at least `longestDown` long; runs are measured in
// the mask as given (not after the other direction's clearing) and end at
// the image border. A length below 1 clears nothing in its direction. A
// mask that is empty or not 8-bit one-channel is left as it is.
//
// The learned engine's rule for ClearLongRuns (recognition_common/), which
// clears runs longer than a limit. ClearLongInkRunsReference does the
// same by measuring each pixel's runs on its own; it serves to check this.
void ClearLongInkRuns(cv::Mat& ink, int longestAcross, int longestDown);
void ClearLongInkRunsReference(cv::Mat& ink, int longestAcross, int longestDown);

}  // namespace kalvero
