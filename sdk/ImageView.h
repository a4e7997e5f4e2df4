#pragma once
#include <opencv2/core.hpp>

#include "kalvero/kalvero.h"

namespace kalvero::sdk {

// Checks `image` and gives the frame the engines read: BGR, 8 bits a
// channel. A BGR image is shared as it is (no copy); RGB and grey are
// converted into `storage`. Returns KALVERO_OK, or a status with the
// message set (null data, a size of 0 or less, a stride shorter than a row
// or one that overflows, an unknown format).
int FrameOfImage(const kalvero_image& image, cv::Mat& storage, cv::Mat& frame);

}  // namespace kalvero::sdk
