#include "tools/PointBounds.h"

#include <algorithm>
#include <cmath>

namespace kalvero {

PointBounds BoundsOfPoints(const std::vector<cv::Point2d>& points) {
    PointBounds b{1e30, 1e30, -1e30, -1e30};
    for (const cv::Point2d& p : points) {
        b.x0 = std::min(b.x0, p.x);
        b.y0 = std::min(b.y0, p.y);
        b.x1 = std::max(b.x1, p.x);
        b.y1 = std::max(b.y1, p.y);
    }
    return b;
}

cv::Rect CoveringPixels(const PointBounds& b) {
    return cv::Rect(static_cast<int>(std::floor(b.x0)), static_cast<int>(std::floor(b.y0)),
                    static_cast<int>(std::ceil(b.x1) - std::floor(b.x0)),
                    static_cast<int>(std::ceil(b.y1) - std::floor(b.y0)));
}

}  // namespace kalvero
