#pragma once
#include <opencv2/core.hpp>

namespace kalvero {

// The part of `rect` that lies inside an image of `size`; an empty rectangle
// when nothing of it does (a negative width or height leaves nothing). The
// edges are formed in 64 bits, so operator-typed or scaled rectangles near
// INT_MAX cannot wrap around into a bogus "inside" part.
cv::Rect ClipRect(const cv::Rect& rect, const cv::Size& size);

}  // namespace kalvero
