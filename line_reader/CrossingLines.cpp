#include "line_reader/CrossingLines.h"

#include <algorithm>
#include <cstdint>

#include "line_reader/LineCrop.h"

namespace kalvero {

namespace {

// Thickest band taken for a line, in crop rows: rails and wires come out
// one to four rows thick at the crop's scale; a digit stroke is thicker.
constexpr int kMaxBandRows = 4;
// Grey levels a line must stand out from the rows beside it (the crop's
// contrast is stretched to 0..255).
constexpr int kLineContrast = 40;
// Columns at each end checked for the line: inside the margin NormaliseLine
// leaves before the first and after the last digit.
constexpr int kEndColumns = 6;
// Share of end columns, and of all columns, the line must cover.
constexpr double kEndCover = 0.8;
constexpr double kAllCover = 0.45;

// Whether column x of the band [top, top + rows) stands out from the row
// above and the row below in the given direction.
bool StandsOut(const cv::Mat& crop, int top, int rows, int x, int sign) {
    const int above = crop.at<std::uint8_t>(top - 1, x);
    const int below = crop.at<std::uint8_t>(top + rows, x);
    for (int y = top; y < top + rows; ++y) {
        const int value = crop.at<std::uint8_t>(y, x);
        const int gap = sign > 0 ? value - std::max(above, below) : std::min(above, below) - value;
        if (gap < kLineContrast) return false;
    }
    return true;
}

// The end columns are looked at first: nearly every band a crop is tried
// for fails there, after a dozen columns rather than all of them.
bool IsCrossingLine(const cv::Mat& crop, int top, int rows, int sign) {
    const int endColumns = std::min(kEndColumns, crop.cols / 2);
    int ends = 0;
    for (int k = 0; k < endColumns; ++k) {
        ends += StandsOut(crop, top, rows, k, sign) ? 1 : 0;
        ends += StandsOut(crop, top, rows, crop.cols - 1 - k, sign) ? 1 : 0;
    }
    if (ends < kEndCover * 2 * kEndColumns) return false;
    int all = ends;
    for (int x = endColumns; x < crop.cols - endColumns; ++x) all += StandsOut(crop, top, rows, x, sign) ? 1 : 0;
    return all >= kAllCover * crop.cols;
}

void PaintOver(cv::Mat& crop, int top, int rows) {
    for (int x = 0; x < crop.cols; ++x) {
        const double above = crop.at<std::uint8_t>(top - 1, x);
        const double below = crop.at<std::uint8_t>(top + rows, x);
        for (int k = 0; k < rows; ++k) {
            const double t = (k + 1.0) / (rows + 1.0);
            crop.at<std::uint8_t>(top + k, x) = cv::saturate_cast<std::uint8_t>(above + t * (below - above));
        }
    }
}

// Every column counted, in order: the plain form of IsCrossingLine.
bool IsCrossingLineReference(const cv::Mat& crop, int top, int rows, int sign) {
    int ends = 0, all = 0;
    for (int x = 0; x < crop.cols; ++x) {
        if (!StandsOut(crop, top, rows, x, sign)) continue;
        ++all;
        if (x < kEndColumns || x >= crop.cols - kEndColumns) ++ends;
    }
    return ends >= kEndCover * 2 * kEndColumns && all >= kAllCover * crop.cols;
}

template <typename LineTest>
int EraseLines(cv::Mat& crop, LineTest isLine) {
    if (crop.type() != CV_8UC1 || crop.rows != kLineInputHeight || crop.cols != kLineInputWidth) return 0;
    int erased = 0;
    for (int top = 1; top + 1 < crop.rows; ++top) {
        for (int rows = 1; rows <= kMaxBandRows && top + rows < crop.rows; ++rows) {
            const bool light = isLine(crop, top, rows, +1);
            if (!light && !isLine(crop, top, rows, -1)) continue;
            PaintOver(crop, top, rows);
            ++erased;
            top += rows;
            break;
        }
    }
    return erased;
}

}  // namespace

int EraseCrossingLines(cv::Mat& crop) { return EraseLines(crop, IsCrossingLine); }

int EraseCrossingLinesReference(cv::Mat& crop) { return EraseLines(crop, IsCrossingLineReference); }

}  // namespace kalvero
