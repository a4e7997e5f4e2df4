#pragma once
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

// How a synthetic speed-limit sign is drawn. Fractions of the digits refer
// to the ink height of a digit.
struct SpeedSignStyle {
    int fontFace = 0;            // a Hershey font, cv::FONT_HERSHEY_SIMPLEX by default
    double digitHeight = 0.5;    // digit ink height / inner disc diameter
    double strokeWidth = 0.16;   // stroke thickness / digit height
    double condense = 1.0;       // horizontal scale of each glyph (1: the font's own shape)
    double digitGap = 0.12;      // gap between the ink of two digits / digit height
    double ringWidth = 0.25;     // red ring width / inner disc radius
};

// A sign on a grey-blue background: red ring, white inner disc and dark
// digits centred on the disc, anti-aliased.
struct SpeedSignImage {
    cv::Mat image;                     // 8-bit BGR
    cv::Rect innerDisc;                // bounding box of the white inner disc
    std::vector<cv::Rect> digitBoxes;  // ink box of each digit, left to right
};

// Draws the sign for `value` with an inner disc of radius `innerRadius`.
SpeedSignImage DrawSpeedSign(int value, int innerRadius, const SpeedSignStyle& style = {});

}  // namespace kalvero
