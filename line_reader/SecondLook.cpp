#include "line_reader/SecondLook.h"

#include <algorithm>
#include <cmath>

#include "line_reader/GreyImage.h"

namespace kalvero {

namespace {

// Changes smaller than these give nearly the same crop: not worth a read.
constexpr float kLeastLengthChange = 0.1f;   // share of the length
constexpr float kLeastCentreMove = 0.15f;    // digit heights

// How far around a row ProposeLinesAround looks, in digit heights, and
// what makes a row found there the same row.
constexpr float kAroundAlong = 1.5f;
constexpr float kAroundAcross = 1.0f;
constexpr double kSameRowIou = 0.9;
constexpr float kSameRowTilt = 1.0f;  // degrees
// Smallest digit height the search takes (as ProposeLines).
constexpr int kLeastHeight = 4;

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

std::vector<LineProposal> ProposeLinesAround(const cv::Mat& zone, const LineProposal& row, int maxLines) {
    if (zone.empty() || zone.dims != 2 || (zone.type() != CV_8UC1 && zone.type() != CV_8UC3)) return {};
    const float h = row.line.digitHeight;
    if (!(h >= static_cast<float>(kLeastHeight)) || !(h <= static_cast<float>(std::max(zone.rows, zone.cols)))) return {};
    const int padAlong = static_cast<int>(std::lround(kAroundAlong * h));
    const int padAcross = static_cast<int>(std::lround(kAroundAcross * h));
    const cv::Rect& box = row.box;
    const cv::Rect around = cv::Rect(box.x - padAlong, box.y - padAcross, box.width + 2 * padAlong,
                                     box.height + 2 * padAcross) &
                            cv::Rect(cv::Point(), zone.size());
    if (around.empty()) return {};
    std::vector<LineProposal> found;
    for (LineProposal local : ProposeLines(GreyImage(zone(around)), static_cast<int>(std::lround(h)), maxLines)) {
        local.box += around.tl();
        local.line.centre += cv::Point2f(around.tl());
        const bool same = BoxIou(local.box, box) > kSameRowIou &&
                          std::abs(local.line.angleDegrees - row.line.angleDegrees) < kSameRowTilt;
        if (!same) found.push_back(local);
    }
    return found;
}

}  // namespace kalvero
