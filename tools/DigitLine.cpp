#include "tools/DigitLine.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

namespace kalvero {

void RandomiseLineStyle(cv::RNG& rng, LineStyle& style) {
    style.widthScale = rng.uniform(0.75, 1.25);
    style.fixedPitch = rng.uniform(0.0, 1.0) < 0.3;
    style.gap = rng.uniform(0.05, 0.42);
    if (style.fixedPitch) {
        style.gap *= 0.5;  // the cells already hold the narrow digits apart
    }
    style.weight = rng.uniform(-0.035, 0.05);
}

cv::Rect2d PaintedLine::Box() const {
    if (digitBoxes.empty()) {
        return cv::Rect2d();
    }
    cv::Rect2d all = digitBoxes.front();
    for (const cv::Rect2d& b : digitBoxes) {
        all |= b;
    }
    return all;
}

PaintedLine PaintDigitLine(const DigitFont& font, const std::string& digits, const LineStyle& style) {
    PaintedLine line;
    const double h = std::max(4.0, style.digitHeight);
    const int pad = 2;
    const int rows = static_cast<int>(std::lround(h));

    std::vector<cv::Mat> masks;
    std::vector<double> lefts;
    double x = pad;
    const double gap = style.gap * h;
    double cell = 0.0;
    const int weightStep = static_cast<int>(std::lround(style.weight * kDigitFontReferenceHeight));
    for (char c : digits) {
        if (c < '0' || c > '9') {
            continue;
        }
        const cv::Mat& reference = font.Digit(c - '0');
        const cv::Mat& weighted = font.WeightedDigit(c - '0', weightStep);
        const double toPixels = h / weighted.rows * style.widthScale;
        const double width = std::max(1.0, weighted.cols * toPixels);
        cell = (font.WidestDigit() + weighted.cols - reference.cols) * toPixels;
        // Digits at most half the reference height scale from the half-size copy.
        const cv::Mat& source = rows * 2 <= weighted.rows ? font.WeightedDigitHalf(c - '0', weightStep) : weighted;
        cv::Mat small;
        cv::resize(source, small, cv::Size(std::max(1, static_cast<int>(std::lround(width))), rows), 0, 0,
                   cv::INTER_AREA);
        const double left = style.fixedPitch ? x + 0.5 * (cell - small.cols) : x;
        masks.push_back(small);
        lefts.push_back(left);
        line.digits += c;
        line.digitBoxes.emplace_back(std::round(left), pad, small.cols, rows);
        x += (style.fixedPitch ? cell : small.cols) + gap;
    }
    const int width = static_cast<int>(std::ceil(std::max(x - gap, static_cast<double>(pad)))) + pad;
    line.mask = cv::Mat::zeros(rows + 2 * pad, std::max(width, 2 * pad + 1), CV_8U);
    for (std::size_t i = 0; i < masks.size(); ++i) {
        const cv::Rect at(static_cast<int>(line.digitBoxes[i].x), pad, masks[i].cols, masks[i].rows);
        const cv::Rect inside = at & cv::Rect(0, 0, line.mask.cols, line.mask.rows);
        cv::Mat target = line.mask(inside);
        cv::max(target, masks[i](inside - at.tl()), target);
    }
    return line;
}

}  // namespace kalvero
