#pragma once
#include <string>

#include <opencv2/core.hpp>

namespace kalvero {

// "X,Y,W,H", the way the options take a box.
std::string BoxText(cv::Rect box);

// "640x360 after zoom 0.5": how the first frame looks to the run.
std::string FrameText(const cv::Mat& frame, float zoom);

}  // namespace kalvero
