#include "tools/DigitLine.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "tools/HandDigits.h"

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
    const bool hand = font.IsHand();
    // Hand lettering wanders up and down: room for it above and below.
    const int wander = hand ? static_cast<int>(std::ceil(0.08 * h)) : 0;
    const int pad = 2 + wander;
    const int rows = static_cast<int>(std::lround(h));
    cv::RNG handRng(style.strokeSeed);

    std::vector<cv::Mat> masks;
    std::vector<double> lefts;
    std::vector<int> tops;
    double x = pad;
    const double gap = style.gap * h;
    double cell = 0.0;
    const int weightStep = static_cast<int>(std::lround(style.weight * kDigitFontReferenceHeight));
    std::size_t group = 0;
    int inGroup = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            continue;
        }
        const cv::Mat& reference = font.Digit(c - '0');
        const cv::Mat& weighted = font.WeightedDigit(c - '0', weightStep);
        const double toPixels = h / weighted.rows * style.widthScale;
        cell = (font.WidestDigit() + weighted.cols - reference.cols) * toPixels;
        cv::Mat small;
        int top = pad;
        if (hand) {
            const double size = handRng.uniform(0.93, 1.05);
            const int height = std::max(6, static_cast<int>(std::lround(h * size)));
            small = DrawHandDigit(c - '0', height, handRng);
            if (style.widthScale != 1.0) {
                cv::resize(small, small, cv::Size(std::max(1, static_cast<int>(std::lround(small.cols * style.widthScale))),
                                                  small.rows), 0, 0, cv::INTER_AREA);
            }
            top = pad + (rows - small.rows) / 2 + static_cast<int>(std::lround(handRng.uniform(-1.0, 1.0) * wander));
            top = std::clamp(top, 0, rows + 2 * pad - small.rows);
        } else {
            const double width = std::max(1.0, weighted.cols * toPixels);
            // Digits at most half the reference height scale from the half-size copy.
            const cv::Mat& source = rows * 2 <= weighted.rows ? font.WeightedDigitHalf(c - '0', weightStep) : weighted;
            cv::resize(source, small, cv::Size(std::max(1, static_cast<int>(std::lround(width))), rows), 0, 0,
                       cv::INTER_AREA);
        }
        const double left = style.fixedPitch ? x + 0.5 * (cell - small.cols) : x;
        masks.push_back(small);
        lefts.push_back(left);
        tops.push_back(top);
        line.digits += c;
        line.digitBoxes.emplace_back(std::round(left), top, small.cols, small.rows);
        x += (style.fixedPitch ? cell : small.cols) + gap;
        if (hand) {
            x += handRng.uniform(-0.06, 0.08) * h;
        }
        ++inGroup;
        if (group < style.groups.size() && inGroup == style.groups[group]) {
            inGroup = 0;
            ++group;
            if (group < style.groups.size()) {
                x += style.groupGap * font.WidestDigit() * h / kDigitFontReferenceHeight * style.widthScale;
            }
        }
    }
    const int width = static_cast<int>(std::ceil(std::max(x - gap, static_cast<double>(pad)))) + pad;
    line.mask = cv::Mat::zeros(rows + 2 * pad, std::max(width, 2 * pad + 1), CV_8U);
    for (std::size_t i = 0; i < masks.size(); ++i) {
        const cv::Rect at(static_cast<int>(line.digitBoxes[i].x), tops[i], masks[i].cols, masks[i].rows);
        const cv::Rect inside = at & cv::Rect(0, 0, line.mask.cols, line.mask.rows);
        cv::Mat target = line.mask(inside);
        cv::max(target, masks[i](inside - at.tl()), target);
    }
    return line;
}

}  // namespace kalvero
