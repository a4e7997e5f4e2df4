#include "line_reader/LineCrop.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include <opencv2/imgproc.hpp>

#include "line_reader/GreyImage.h"

namespace kalvero {

namespace {

// Share of pixels at each end of the histogram that the contrast stretch
// lets saturate: enough to ignore a rivet or a speck of glare, too little to
// clip the strokes of thin digits.
constexpr double kStretchTail = 0.02;

// Downscaling by more than this factor first averages blocks of pixels
// (INTER_AREA), so that the bilinear warp does not alias thin strokes.
constexpr double kAreaScaleFrom = 1.25;

}  // namespace

void StretchContrast(cv::Mat& line) {
    if (line.empty() || line.type() != CV_8UC1) return;
    std::array<int, 256> histogram{};
    for (int y = 0; y < line.rows; ++y) {
        const std::uint8_t* row = line.ptr<std::uint8_t>(y);
        for (int x = 0; x < line.cols; ++x) ++histogram[row[x]];
    }
    const double tail = kStretchTail * static_cast<double>(line.total());
    int low = 0;
    for (double seen = 0.0; low < 255 && (seen += histogram[low]) <= tail;) ++low;
    int high = 255;
    for (double seen = 0.0; high > 0 && (seen += histogram[high]) <= tail;) --high;
    if (high <= low) {
        line.setTo(128);
        return;
    }
    const double gain = 255.0 / (high - low);
    line.convertTo(line, CV_8U, gain, -gain * low);
}

cv::Mat NormaliseLine(const cv::Mat& image, const LineBox& box) {
    if (image.empty() || image.dims != 2 || image.depth() != CV_8U ||
        (image.channels() != 1 && image.channels() != 3) || !(box.length > 0.0f) ||
        !(box.digitHeight > 0.0f) || !std::isfinite(box.centre.x) || !std::isfinite(box.centre.y) ||
        !std::isfinite(box.angleDegrees)) {
        return cv::Mat();
    }
    const double h = box.digitHeight;
    const double spanAlong = box.length + 2.0 * kLineMarginAlong * h;
    const double spanAcross = h * (1.0 + 2.0 * kLineMarginAcross);
    const double theta = box.angleDegrees * CV_PI / 180.0;
    const double c = std::cos(theta);
    const double s = std::sin(theta);

    // Source region: the bounding rectangle of the turned crop, one pixel
    // wider on each side for the interpolation.
    const double halfW = 0.5 * spanAlong;
    const double halfH = 0.5 * spanAcross;
    const double extentX = std::abs(c) * halfW + std::abs(s) * halfH + 1.0;
    const double extentY = std::abs(s) * halfW + std::abs(c) * halfH + 1.0;
    // Far outside the image nothing can be read; also keeps the ints below sane.
    const double limit = 4.0 * (image.cols + image.rows) + 64.0;
    if (extentX > limit || extentY > limit || std::abs(box.centre.x) > limit || std::abs(box.centre.y) > limit) {
        return cv::Mat();
    }
    const int x0 = static_cast<int>(std::floor(box.centre.x - extentX));
    const int y0 = static_cast<int>(std::floor(box.centre.y - extentY));
    const int x1 = static_cast<int>(std::ceil(box.centre.x + extentX));
    const int y1 = static_cast<int>(std::ceil(box.centre.y + extentY));

    const cv::Rect wanted(x0, y0, x1 - x0, y1 - y0);
    const cv::Rect inside = wanted & cv::Rect(0, 0, image.cols, image.rows);
    if (inside.empty()) return cv::Mat();
    cv::Mat region = GreyImage(image(inside));
    if (inside != wanted) {
        cv::Mat padded;
        cv::copyMakeBorder(region, padded, inside.y - y0, y1 - inside.y - inside.height, inside.x - x0,
                           x1 - inside.x - inside.width, cv::BORDER_REPLICATE);
        region = padded;
    }

    // Output pixel (u, v) comes from the region point
    // centre + R(theta) * ((u + 0.5 - W/2) * sx, (v + 0.5 - H/2) * sy) - origin.
    double sx = spanAlong / kLineInputWidth;
    double sy = spanAcross / kLineInputHeight;
    double cx = box.centre.x - x0;
    double cy = box.centre.y - y0;
    const double shrink = std::min(sx, sy);
    if (shrink > kAreaScaleFrom) {
        cv::Mat smaller;
        const cv::Size size(std::max(1, static_cast<int>(std::lround(region.cols / shrink))),
                            std::max(1, static_cast<int>(std::lround(region.rows / shrink))));
        const double fx = static_cast<double>(size.width) / region.cols;
        const double fy = static_cast<double>(size.height) / region.rows;
        cv::resize(region, smaller, size, 0, 0, cv::INTER_AREA);
        region = smaller;
        sx *= fx;
        sy *= fy;
        // Pixel centres: x' + 0.5 = (x + 0.5) * f.
        cx = (cx + 0.5) * fx - 0.5;
        cy = (cy + 0.5) * fy - 0.5;
    }
    const double u0 = 0.5 - 0.5 * kLineInputWidth;
    const double v0 = 0.5 - 0.5 * kLineInputHeight;
    cv::Matx23d toSource(c * sx, -s * sy, cx + c * sx * u0 - s * sy * v0,  //
                         s * sx, c * sy, cy + s * sx * u0 + c * sy * v0);
    cv::Mat line;
    cv::warpAffine(region, line, cv::Mat(toSource), cv::Size(kLineInputWidth, kLineInputHeight),
                   cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_REPLICATE);
    StretchContrast(line);
    return line;
}

cv::Rect LineSpanBox(const LineBox& box, float from, float to) {
    if (!(box.length > 0.0f) || !(box.digitHeight > 0.0f) || !(to > from)) return cv::Rect();
    const double h = box.digitHeight;
    const double spanAlong = box.length + 2.0 * kLineMarginAlong * h;
    const double theta = box.angleDegrees * CV_PI / 180.0;
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    const double a0 = (from - 0.5) * spanAlong;
    const double a1 = (to - 0.5) * spanAlong;
    double x0 = std::numeric_limits<double>::max(), y0 = x0;
    double x1 = std::numeric_limits<double>::lowest(), y1 = x1;
    for (const double along : {a0, a1}) {
        for (const double across : {-0.5 * h, 0.5 * h}) {
            const double x = box.centre.x + along * c - across * s;
            const double y = box.centre.y + along * s + across * c;
            x0 = std::min(x0, x);
            y0 = std::min(y0, y);
            x1 = std::max(x1, x);
            y1 = std::max(y1, y);
        }
    }
    const int left = static_cast<int>(std::floor(x0));
    const int top = static_cast<int>(std::floor(y0));
    return cv::Rect(left, top, static_cast<int>(std::ceil(x1)) - left, static_cast<int>(std::ceil(y1)) - top);
}

LineBox LineSpan(const LineBox& box, float from, float to) {
    LineBox span = box;
    if (!(box.length > 0.0f) || !(box.digitHeight > 0.0f) || !(to > from)) {
        span.length = 0.0f;
        return span;
    }
    const double spanAlong = box.length + 2.0 * kLineMarginAlong * box.digitHeight;
    const double a0 = (from - 0.5) * spanAlong;
    const double a1 = (to - 0.5) * spanAlong;
    const double theta = box.angleDegrees * CV_PI / 180.0;
    const double middle = 0.5 * (a0 + a1);
    span.centre = cv::Point2f(static_cast<float>(box.centre.x + middle * std::cos(theta)),
                              static_cast<float>(box.centre.y + middle * std::sin(theta)));
    span.length = static_cast<float>(a1 - a0);
    return span;
}

}  // namespace kalvero
