#pragma once
#include <opencv2/core.hpp>

namespace kalvero {

// `image` itself when it has one channel, else its grey copy (BGR order).
cv::Mat GreyImage(const cv::Mat& image);

}  // namespace kalvero
