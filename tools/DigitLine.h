#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "tools/DigitFonts.h"

namespace kalvero {

// How a row of digits is painted.
struct LineStyle {
    double digitHeight = 29.0;  // pixels, ink top to ink bottom
    double widthScale = 1.0;    // horizontal stretch of every digit
    double gap = 0.18;          // space between digits, in digit heights
    bool fixedPitch = false;    // every digit centred in a cell of the widest digit
    double weight = 0.0;        // stroke growth (+) or thinning (-), in digit heights (-0.03..0.05)
    // Digits per group ({4, 4} paints "5241 8396"); empty: one group.
    std::vector<int> groups;
    double groupGap = 0.0;      // extra space between groups, in widths of the font's widest digit
    // Hand-painted fonts: seed of this line's strokes, spacing and baseline.
    std::uint64_t strokeSeed = 1;
};

// Draws the style of a varied painted number: width 0.75-1.25, gap, pitch
// and weight as sign writers vary them. Leaves the digit height alone.
void RandomiseLineStyle(cv::RNG& rng, LineStyle& style);

// A painted row of digits: an ink mask (8-bit, 255 ink, soft edges) with a
// margin, and each digit's box in mask pixels (its ink cell: the digit's
// own width, the line's digit height).
struct PaintedLine {
    cv::Mat mask;
    std::vector<cv::Rect2d> digitBoxes;
    std::string digits;
    // Box around all digit boxes.
    cv::Rect2d Box() const;
};

// Paints `digits` (decimal digits only; others are skipped) in `font`.
// Proportional pitch advances each digit by its own width plus the gap;
// groups add their gap after each group's last digit. A hand font draws
// every digit anew from style.strokeSeed, with uneven spacing, size and
// baseline (each digit's box follows its own ink).
PaintedLine PaintDigitLine(const DigitFont& font, const std::string& digits, const LineStyle& style);

}  // namespace kalvero
