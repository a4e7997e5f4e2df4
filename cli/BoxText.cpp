#include "cli/BoxText.h"

#include <cstdio>

namespace kalvero {

std::string BoxText(cv::Rect box) {
    return std::to_string(box.x) + "," + std::to_string(box.y) + "," + std::to_string(box.width) + "," +
           std::to_string(box.height);
}

std::string FrameText(const cv::Mat& frame, float zoom) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(zoom));
    return std::to_string(frame.cols) + "x" + std::to_string(frame.rows) + " after zoom " + buffer;
}

}  // namespace kalvero
