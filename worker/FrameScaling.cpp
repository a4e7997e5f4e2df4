#include "worker/FrameScaling.h"

#include <cmath>
#include <limits>

#include <opencv2/imgproc.hpp>

namespace kalvero {

namespace {

int ScaledSide(int side, float zoom) {
    const float product = static_cast<float>(side) * zoom;
    if (!(product < static_cast<float>(std::numeric_limits<int>::max()))) return std::numeric_limits<int>::max();
    const int truncated = static_cast<int>(product);
    return truncated < 1 ? 1 : truncated;
}

}  // namespace

cv::Size ZoomedSize(cv::Size size, float zoom) {
    if (!std::isfinite(zoom) || zoom <= 0.0f) return size;
    return cv::Size(ScaledSide(size.width, zoom), ScaledSide(size.height, zoom));
}

void ScaleByZoom(cv::Mat& frame, float zoom) {
    if (frame.empty()) return;
    const cv::Size target = ZoomedSize(frame.size(), zoom);
    if (target == frame.size()) return;
    cv::Mat scaled;
    cv::resize(frame, scaled, target, 0.0, 0.0, cv::INTER_LINEAR);
    frame = scaled;
}

}  // namespace kalvero
