#include "tools/StencilDigits.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

namespace kalvero {

namespace {

// Shapes are laid out in a unit box, x 0..1 across the digit and y 0..1
// down it; the drawing maps the box to the stroke centres.
constexpr double kAspect = 0.62;       // digit width over height
constexpr double kStroke = 0.17;       // stroke thickness in heights
constexpr double kBridge = 0.065;      // width of a bridge cut in heights

class StencilCanvas {
public:
    explicit StencilCanvas(int height)
        : height_(height),
          width_(static_cast<int>(std::lround(height * kAspect))),
          stroke_(std::max(2, static_cast<int>(std::lround(height * kStroke)))),
          pad_(stroke_),
          mask_(cv::Mat::zeros(height + 2 * pad_, width_ + 2 * pad_, CV_8U)) {}

    cv::Point2d At(double x, double y) const {
        const double half = 0.5 * stroke_;
        return {pad_ + half + x * (width_ - stroke_), pad_ + half + y * (height_ - stroke_)};
    }

    void Line(double x0, double y0, double x1, double y1) {
        cv::line(mask_, Fixed(At(x0, y0)), Fixed(At(x1, y1)), cv::Scalar(255), stroke_, cv::LINE_AA,
                 kShift);
    }

    // Arc of the ellipse centred at (cx, cy) with half axes (ax, ay), from
    // angle a0 to a1 in degrees, clockwise on screen from the +x axis.
    void Arc(double cx, double cy, double ax, double ay, double a0, double a1) {
        const cv::Point2d c = At(cx, cy);
        const cv::Size axes(static_cast<int>(std::lround(ax * (width_ - stroke_) * kScale)),
                            static_cast<int>(std::lround(ay * (height_ - stroke_) * kScale)));
        cv::ellipse(mask_, Fixed(c), axes, 0.0, a0, a1, cv::Scalar(255), stroke_, cv::LINE_AA, kShift);
    }

    // A bridge: a narrow gap cut through the strokes along the segment.
    void Cut(double x0, double y0, double x1, double y1) {
        const int bridge = std::max(1, static_cast<int>(std::lround(height_ * kBridge)));
        cv::line(mask_, Fixed(At(x0, y0)), Fixed(At(x1, y1)), cv::Scalar(0), bridge, cv::LINE_AA, kShift);
    }

    cv::Mat Cropped() const {
        cv::Rect ink = cv::boundingRect(mask_);
        return ink.area() > 0 ? mask_(ink).clone() : cv::Mat();
    }

private:
    static constexpr int kShift = 4;
    static constexpr double kScale = 1 << kShift;
    static cv::Point Fixed(cv::Point2d p) {
        return {static_cast<int>(std::lround(p.x * kScale)), static_cast<int>(std::lround(p.y * kScale))};
    }

    int height_;
    int width_;
    int stroke_;
    int pad_;
    cv::Mat mask_;
};

void DrawSix(StencilCanvas& s) {
    s.Arc(0.5, 0.68, 0.5, 0.32, 0, 360);
    s.Arc(0.62, 0.68, 0.62, 0.68, 180, 268);
    s.Cut(0.5, 0.25, 0.5, 0.5);
    s.Cut(0.5, 0.85, 0.5, 1.1);
}

}  // namespace

cv::Mat DrawStencilDigit(int digit, int height) {
    if (digit < 0 || digit > 9 || height < 8) {
        return cv::Mat();
    }
    StencilCanvas s(height);
    switch (digit) {
    case 0:
        s.Arc(0.5, 0.5, 0.5, 0.5, 0, 360);
        s.Cut(0.5, -0.1, 0.5, 0.15);
        s.Cut(0.5, 0.85, 0.5, 1.1);
        break;
    case 1:
        s.Line(0.62, 0.0, 0.62, 1.0);
        s.Line(0.62, 0.0, 0.18, 0.25);
        s.Cut(0.45, -0.05, 0.45, 0.3);
        break;
    case 2:
        s.Arc(0.5, 0.28, 0.5, 0.28, 180, 390);
        s.Line(0.92, 0.39, 0.0, 1.0);
        s.Line(0.0, 1.0, 1.0, 1.0);
        s.Cut(0.32, 0.75, 0.32, 1.1);
        break;
    case 3:
        s.Arc(0.5, 0.25, 0.46, 0.25, 200, 450);
        s.Arc(0.5, 0.73, 0.5, 0.27, -90, 160);
        s.Cut(0.5, 0.35, 0.5, 0.6);
        break;
    case 4:
        s.Line(0.7, 0.0, 0.0, 0.7);
        s.Line(0.0, 0.7, 1.0, 0.7);
        s.Line(0.76, 0.0, 0.76, 1.0);
        s.Cut(0.6, 0.55, 0.95, 0.55);
        break;
    case 5:
        s.Line(0.95, 0.0, 0.08, 0.0);
        s.Line(0.08, 0.0, 0.05, 0.45);
        s.Arc(0.5, 0.68, 0.5, 0.32, 210, 505);
        s.Cut(-0.1, 0.22, 0.2, 0.22);
        break;
    case 6:
        DrawSix(s);
        break;
    case 7:
        s.Line(0.0, 0.0, 1.0, 0.0);
        s.Line(1.0, 0.0, 0.32, 1.0);
        s.Cut(0.75, -0.1, 0.75, 0.15);
        break;
    case 8:
        s.Arc(0.5, 0.25, 0.4, 0.25, 0, 360);
        s.Arc(0.5, 0.73, 0.5, 0.27, 0, 360);
        s.Cut(0.5, -0.1, 0.5, 0.12);
        s.Cut(0.5, 0.88, 0.5, 1.1);
        break;
    case 9: {
        // A six turned upside down, like most stencil sets.
        DrawSix(s);
        cv::Mat six = s.Cropped();
        cv::Mat nine;
        cv::flip(six, nine, -1);
        return nine;
    }
    }
    return s.Cropped();
}

}  // namespace kalvero
