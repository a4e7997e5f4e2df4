#include "tools/HandDigits.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace kalvero {

namespace {

using Stroke = std::vector<cv::Point2d>;

// Skeletons in a box x 0..0.6, y 0..1 (down). Curved strokes list points
// that a Catmull-Rom spline passes through.
std::vector<Stroke> Ellipse(double cx, double cy, double rx, double ry, double from, double to, int points) {
    Stroke s;
    for (int i = 0; i <= points; ++i) {
        const double a = (from + (to - from) * i / points) * CV_PI / 180.0;
        s.emplace_back(cx + rx * std::cos(a), cy + ry * std::sin(a));
    }
    return {s};
}

std::vector<Stroke> Skeleton(int digit) {
    switch (digit) {
    case 0:
        return Ellipse(0.3, 0.5, 0.27, 0.48, -100.0, 275.0, 14);
    case 1:
        return {{{0.1, 0.24}, {0.38, 0.01}}, {{0.38, 0.01}, {0.38, 0.5}, {0.38, 1.0}}};
    case 2:
        return {{{0.04, 0.22}, {0.2, 0.03}, {0.42, 0.03}, {0.55, 0.2}, {0.5, 0.42}, {0.25, 0.7}, {0.04, 0.97}},
                {{0.04, 0.97}, {0.3, 0.97}, {0.58, 0.97}}};
    case 3:
        return {{{0.05, 0.12}, {0.3, 0.0}, {0.52, 0.12}, {0.5, 0.35}, {0.25, 0.47}},
                {{0.25, 0.47}, {0.53, 0.6}, {0.55, 0.85}, {0.3, 1.0}, {0.03, 0.88}}};
    case 4:
        return {{{0.42, 0.0}, {0.22, 0.34}, {0.02, 0.68}}, {{0.02, 0.68}, {0.3, 0.68}, {0.6, 0.68}},
                {{0.46, 0.3}, {0.46, 0.65}, {0.46, 1.0}}};
    case 5:
        return {{{0.55, 0.02}, {0.3, 0.02}, {0.1, 0.02}}, {{0.1, 0.02}, {0.08, 0.24}, {0.06, 0.45}},
                {{0.06, 0.45}, {0.3, 0.37}, {0.54, 0.52}, {0.56, 0.8}, {0.3, 1.0}, {0.03, 0.9}}};
    case 6:
        return {{{0.5, 0.03}, {0.25, 0.1}, {0.07, 0.4}, {0.06, 0.75}, {0.28, 1.0}, {0.53, 0.85}, {0.52, 0.6},
                 {0.3, 0.47}, {0.07, 0.62}}};
    case 7:
        return {{{0.02, 0.02}, {0.3, 0.02}, {0.58, 0.02}}, {{0.58, 0.02}, {0.38, 0.5}, {0.22, 1.0}}};
    case 8: {
        std::vector<Stroke> s = Ellipse(0.3, 0.24, 0.22, 0.23, 90.0, 450.0, 12);
        const std::vector<Stroke> low = Ellipse(0.3, 0.73, 0.27, 0.26, -90.0, 270.0, 12);
        s.push_back(low.front());
        return s;
    }
    case 9:
        return {{{0.53, 0.38}, {0.3, 0.53}, {0.07, 0.38}, {0.1, 0.1}, {0.3, 0.0}, {0.53, 0.15}, {0.53, 0.45},
                 {0.43, 0.8}, {0.2, 1.0}}};
    default:
        return {};
    }
}

cv::Point2d CatmullRom(const cv::Point2d& p0, const cv::Point2d& p1, const cv::Point2d& p2, const cv::Point2d& p3,
                       double t) {
    const double t2 = t * t;
    const double t3 = t2 * t;
    return 0.5 * ((2.0 * p1) + (p2 - p0) * t + (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3) * t2 +
                  (3.0 * p1 - p0 - 3.0 * p2 + p3) * t3);
}

// Points along the spline through the stroke's points, `per` a segment.
Stroke Sampled(const Stroke& s, int per) {
    if (s.size() < 2) {
        return s;
    }
    Stroke out;
    for (std::size_t i = 0; i + 1 < s.size(); ++i) {
        const cv::Point2d& p0 = s[i == 0 ? 0 : i - 1];
        const cv::Point2d& p3 = s[std::min(s.size() - 1, i + 2)];
        for (int k = 0; k < per; ++k) {
            out.push_back(CatmullRom(p0, s[i], s[i + 1], p3, static_cast<double>(k) / per));
        }
    }
    out.push_back(s.back());
    return out;
}

}  // namespace

cv::Mat DrawHandDigit(int digit, int height, cv::RNG& rng) {
    if (digit < 0 || digit > 9 || height < 6) {
        return cv::Mat();
    }
    constexpr int kSuper = 4;  // drawn this many times larger, then shrunk: soft, even edges
    const double h = static_cast<double>(height) * kSuper;
    const double slant = std::tan(rng.uniform(-8.0, 8.0) * CV_PI / 180.0);
    const double widen = rng.uniform(0.85, 1.2);
    const double brush = rng.uniform(0.09, 0.16) * h;
    const double wobble = rng.uniform(0.012, 0.03);
    const int pad = static_cast<int>(std::ceil(brush + 0.15 * h));
    cv::Mat canvas = cv::Mat::zeros(static_cast<int>(h) + 2 * pad, static_cast<int>(0.9 * h) + 2 * pad, CV_8U);
    const double inset = 0.5 * brush;
    const auto place = [&](const cv::Point2d& p) {
        const double y = inset + p.y * (h - 2.0 * inset);
        const double x = inset + p.x * widen * (h - 2.0 * inset) + (h - y) * slant * 0.5 + 0.08 * h;
        return cv::Point2d(pad + x, pad + y);
    };
    for (Stroke stroke : Skeleton(digit)) {
        for (cv::Point2d& p : stroke) {
            p += cv::Point2d(rng.gaussian(wobble), rng.gaussian(wobble));
        }
        // The brush loads at the start and runs dry towards the end.
        const double start = rng.uniform(0.9, 1.2);
        const double end = rng.uniform(0.65, 1.0);
        const double phase = rng.uniform(0.0, 2.0 * CV_PI);
        const Stroke path = Sampled(stroke, 8);
        for (std::size_t i = 0; i + 1 < path.size(); ++i) {
            const double t = static_cast<double>(i) / std::max<std::size_t>(1, path.size() - 1);
            const double width = brush * (start + (end - start) * t) * (1.0 + 0.12 * std::sin(phase + 9.0 * t));
            constexpr int kShift = 3;
            const auto fixed = [](const cv::Point2d& p) {
                return cv::Point(static_cast<int>(std::lround(p.x * (1 << kShift))),
                                 static_cast<int>(std::lround(p.y * (1 << kShift))));
            };
            cv::line(canvas, fixed(place(path[i])), fixed(place(path[i + 1])), cv::Scalar(255),
                     std::max(1, static_cast<int>(std::lround(width))), cv::LINE_AA, kShift);
        }
    }
    const cv::Rect ink = cv::boundingRect(canvas);
    if (ink.area() == 0) {
        return cv::Mat();
    }
    cv::Mat small;
    const cv::Size size(std::max(1, static_cast<int>(std::lround(static_cast<double>(ink.width) / kSuper))),
                        std::max(1, static_cast<int>(std::lround(static_cast<double>(ink.height) / kSuper))));
    cv::resize(canvas(ink), small, size, 0, 0, cv::INTER_AREA);
    return small;
}

}  // namespace kalvero
