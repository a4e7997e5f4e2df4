#pragma once
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

// Clears straight foreground runs (value 255) of an 8-bit single-channel
// image that are longer than the limits: horizontal runs longer than
// `horizontalLimit`, vertical runs longer than `verticalLimit`. Both passes
// read an untouched copy, so a pixel on a long row and a long column is
// cleared once and the vertical run is still seen in full. Every removed
// vertical run of k pixels is appended to `verticalRuns` as (x, first row,
// 1, k - 1).
void RemoveLongRuns(cv::Mat& image, int horizontalLimit, int verticalLimit,
                    std::vector<cv::Rect>& verticalRuns);

}  // namespace kalvero
