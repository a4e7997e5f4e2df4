#pragma once
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

// The smallest upright box around some points: left, top, right, bottom.
struct PointBounds {
    double x0, y0, x1, y1;
};

// The bounds of `points`; an empty list gives x0 = y0 = 1e30 and
// x1 = y1 = -1e30, which no point lies inside.
PointBounds BoundsOfPoints(const std::vector<cv::Point2d>& points);

// The whole pixels that cover `b`: floor of the left and top edges, ceil of
// the right and bottom ones.
cv::Rect CoveringPixels(const PointBounds& b);

}  // namespace kalvero
