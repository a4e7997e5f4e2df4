#pragma once
#include <opencv2/core.hpp>

namespace kalvero {

// Mask (8-bit, 0 background, 255 ink, anti-aliased edges) of a stencil
// digit 0-9 drawn `height` pixels high: thick strokes along our own line
// and arc skeletons, with the narrow bridges a stencil leaves cut across
// them. The mask is cropped to the ink on every side, so its height is the
// digit's height and its width the digit's own width. Returns an empty mat
// for a digit outside 0-9 or a height below 8.
cv::Mat DrawStencilDigit(int digit, int height);

}  // namespace kalvero
