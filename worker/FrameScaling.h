#pragma once
#include <opencv2/core.hpp>

namespace kalvero {

// Size of a frame scaled by `zoom`: each side multiplied in 32-bit float and
// truncated toward zero, at least 1 pixel. A zoom that is not a positive
// finite number leaves the size unchanged.
cv::Size ZoomedSize(cv::Size size, float zoom);

// Scales `frame` in place to ZoomedSize with bilinear interpolation; a frame
// whose size does not change is left as it is.
void ScaleByZoom(cv::Mat& frame, float zoom);

}  // namespace kalvero
