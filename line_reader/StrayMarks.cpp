#include "line_reader/StrayMarks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "line_reader/LineCrop.h"

namespace kalvero {

namespace {

// Grey levels (of the stretched crop) a pixel must lie from the ground to
// count as ink or as a mark.
constexpr int kApart = 40;
// Fewest pixels apart from the ground, on the digits' side, for the crop to
// hold digits at all, and on the other side for it to hold a mark worth
// erasing (a spray stroke over a digit or two is a few hundred).
constexpr int kLeastInk = 200;
constexpr int kLeastMarks = 40;

// Median grey of the top and bottom `margin` rows.
int MarginMedian(const cv::Mat& crop, int margin) {
    std::array<int, 256> histogram{};
    int count = 0;
    for (int y = 0; y < crop.rows; ++y) {
        if (y == margin) y = crop.rows - margin;
        const std::uint8_t* row = crop.ptr<std::uint8_t>(y);
        for (int x = 0; x < crop.cols; ++x) ++histogram[row[x]];
        count += crop.cols;
    }
    int seen = 0, value = 0;
    while (value < 255 && (seen += histogram[value]) * 2 < count) ++value;
    return value;
}

}  // namespace

bool EraseStrayMarks(cv::Mat& crop) {
    if (crop.type() != CV_8UC1 || crop.rows != kLineInputHeight || crop.cols != kLineInputWidth) return false;
    // Rows of margin above and below the digits.
    const int margin = static_cast<int>(std::floor(kLineInputHeight * kLineMarginAcross / (1.0 + 2.0 * kLineMarginAcross)));
    const int ground = MarginMedian(crop, margin);
    int darker = 0, lighter = 0;
    for (int y = margin; y < crop.rows - margin; ++y) {
        const std::uint8_t* row = crop.ptr<std::uint8_t>(y);
        for (int x = 0; x < crop.cols; ++x) {
            if (row[x] + kApart <= ground) ++darker;
            if (row[x] >= ground + kApart) ++lighter;
        }
    }
    const bool darkDigits = darker >= lighter;
    const int ink = std::max(darker, lighter), marks = std::min(darker, lighter);
    if (ink < kLeastInk || marks < kLeastMarks) return false;
    const auto level = static_cast<std::uint8_t>(ground);
    for (int y = 0; y < crop.rows; ++y) {
        std::uint8_t* row = crop.ptr<std::uint8_t>(y);
        for (int x = 0; x < crop.cols; ++x) row[x] = darkDigits ? std::min(row[x], level) : std::max(row[x], level);
    }
    StretchContrast(crop);
    return true;
}

}  // namespace kalvero
