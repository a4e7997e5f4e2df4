#pragma once
#include <opencv2/core.hpp>

namespace kalvero {

// Mask (8-bit, 255 ink, anti-aliased) of a square-ended block stencil digit
// 0-9, `height` pixels high: straight bars of even width, each cut off from
// its neighbours by the bridges a stencil plate needs, so no two bars touch.
// Cropped to the ink; empty for a digit outside 0-9 or a height below 8.
cv::Mat DrawBlockStencilDigit(int digit, int height);

}  // namespace kalvero
