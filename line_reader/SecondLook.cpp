#include "line_reader/SecondLook.h"

#include <cmath>

namespace kalvero {

namespace {

// Changes smaller than these give nearly the same crop: not worth a read.
constexpr float kLeastLengthChange = 0.1f;   // share of the length
constexpr float kLeastCentreMove = 0.15f;    // digit heights

}  // namespace

bool SecondLook(const CtcReading& decoded, int columns, cv::Size zone, LineBox& line) {
    const std::size_t n = decoded.digitColumns.size();
    if (n < kSecondLookMinDigits || n > kSecondLookMaxDigits || columns < 1) return false;
    // Columns count from the crop's left edge; a digit stands at the middle
    // of its run.
    const auto centreOf = [&](std::size_t k) {
        return 0.5f * static_cast<float>(decoded.digitColumns[k].first + decoded.digitColumns[k].second) + 0.5f;
    };
    const float pitch = (centreOf(n - 1) - centreOf(0)) / static_cast<float>(n - 1);
    if (!(pitch > 0.0f)) return false;
    const float reach = 0.5f * pitch * static_cast<float>(1 + kSecondLookMaxDigits - n);
    const float width = static_cast<float>(columns);
    const float from = (centreOf(0) - reach) / width;
    const float to = (centreOf(n - 1) + reach) / width;
    const LineBox framed = LineSpan(line, from, to);
    if (!(framed.length > 0.0f)) return false;
    const cv::Rect digits = LineSpanBox(line, from, to);
    if ((digits & cv::Rect(cv::Point(), zone)) != digits) return false;
    const float moved = static_cast<float>(cv::norm(framed.centre - line.centre));
    if (std::abs(framed.length - line.length) < kLeastLengthChange * line.length &&
        moved < kLeastCentreMove * line.digitHeight) {
        return false;
    }
    line = framed;
    return true;
}

}  // namespace kalvero
