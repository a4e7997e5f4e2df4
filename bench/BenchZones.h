#pragma once
#include <opencv2/core.hpp>

#include "tools/NumberPainter.h"

namespace kalvero::bench {

// Digit height of the benchmark zones.
constexpr int kDigitHeight = 29;

// A zone of `size` holding the light number "52473068" (digit height 29,
// mild noise) with its left edge at `origin`.
inline cv::Mat NumberZone(cv::Size size, cv::Point origin) {
    PanelStyle panel;
    panel.number = "52473068";
    panel.digitHeight = kDigitHeight;
    panel.gapFraction = 0.25;
    panel.lightDigits = true;
    panel.noiseSigma = 3.0;
    return MakeNumberPanel(size, origin, panel);
}

// The zone of a 640 x 360 recognition area with one number in its middle.
inline const cv::Mat& LargeZone() {
    static const cv::Mat zone = NumberZone(cv::Size(640, 360), cv::Point(230, 160));
    return zone;
}

// A 390 x 90 zone drawn tightly around one number.
inline const cv::Mat& SmallZone() {
    static const cv::Mat zone = NumberZone(cv::Size(390, 90), cv::Point(105, 29));
    return zone;
}

}  // namespace kalvero::bench
