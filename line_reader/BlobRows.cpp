#include "line_reader/BlobRows.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kalvero {

namespace {

// Largest ratio of two neighbours' heights: digits of one font share a
// height; a third more allows for blur, tilt and a clipped stroke.
constexpr float kMaxHeightRatio = 1.5f;
// Widest gap between neighbours, in digit heights: painted numbers leave
// well under one digit width between digits; a wider gap starts a new group.
constexpr float kMaxGap = 1.2f;
// Neighbours may overlap a little (italic or tightly kerned digits).
constexpr float kMaxOverlap = 0.15f;
// Misalignment of centres allowed besides the tilt, in digit heights.
constexpr float kCentreSlack = 0.25f;

constexpr float kDegrees = 180.0f / static_cast<float>(CV_PI);

// The cost of j following i in a row, or a negative value when it cannot.
float LinkCost(const DigitBlob& a, const DigitBlob& b) {
    const float ha = static_cast<float>(a.box.height);
    const float hb = static_cast<float>(b.box.height);
    if (std::max(ha, hb) > kMaxHeightRatio * std::min(ha, hb)) return -1.0f;
    const float h = 0.5f * (ha + hb);
    const float gap = static_cast<float>(b.box.x - (a.box.x + a.box.width));
    if (gap < -kMaxOverlap * h || gap >= kMaxGap * h) return -1.0f;
    const float dx = b.CentreX() - a.CentreX();
    const float dy = std::abs(b.CentreY() - a.CentreY());
    const float tiltSlack = std::tan(kMaxRowTiltDegrees / kDegrees) * std::max(0.0f, dx);
    if (dy > kCentreSlack * h + tiltSlack) return -1.0f;
    return std::max(0.0f, gap) + dy;
}

cv::Rect BoxOf(const std::vector<DigitBlob>& blobs) {
    cv::Rect box = blobs.front().box;
    for (const DigitBlob& blob : blobs) box |= blob.box;
    return box;
}

}  // namespace

LineBox FitRowLine(const std::vector<DigitBlob>& blobs) {
    LineBox line;
    if (blobs.empty()) return line;
    const double n = static_cast<double>(blobs.size());
    double mx = 0.0, my = 0.0;
    for (const DigitBlob& blob : blobs) {
        mx += blob.CentreX();
        my += blob.CentreY();
    }
    mx /= n;
    my /= n;
    double sxx = 0.0, sxy = 0.0;
    for (const DigitBlob& blob : blobs) {
        sxx += (blob.CentreX() - mx) * (blob.CentreX() - mx);
        sxy += (blob.CentreX() - mx) * (blob.CentreY() - my);
    }
    double angle = sxx > 0.0 ? std::atan2(sxy, sxx) : 0.0;
    const double limit = kMaxRowTiltDegrees / kDegrees;
    angle = std::clamp(angle, -limit, limit);
    const double c = std::cos(angle);
    const double s = std::sin(angle);

    // Extent along the row: the left and right edge midpoints of every
    // blob projected on the row's direction through the mean centre.
    double lo = std::numeric_limits<double>::max();
    double hi = std::numeric_limits<double>::lowest();
    std::vector<float> heights, widths;
    for (const DigitBlob& blob : blobs) {
        const double y = blob.CentreY() - my;
        for (const double x : {static_cast<double>(blob.box.x), static_cast<double>(blob.box.x + blob.box.width)}) {
            const double along = (x - mx) * c + y * s;
            lo = std::min(lo, along);
            hi = std::max(hi, along);
        }
        heights.push_back(static_cast<float>(blob.box.height));
        widths.push_back(static_cast<float>(blob.box.width));
    }
    const auto median = [](std::vector<float>& v) {
        std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    // A turned digit's upright box is taller than the digit by about its
    // width times the sine of the tilt.
    const double height = median(heights) - median(widths) * std::abs(s);
    const double mid = 0.5 * (lo + hi);
    line.centre = cv::Point2f(static_cast<float>(mx + mid * c), static_cast<float>(my + mid * s));
    line.length = static_cast<float>(hi - lo);
    line.digitHeight = static_cast<float>(std::max(1.0, height));
    line.angleDegrees = static_cast<float>(angle * kDegrees);
    return line;
}

std::vector<BlobRow> GroupBlobRows(const std::vector<DigitBlob>& blobs, int minBlobs) {
    const std::size_t n = blobs.size();
    constexpr int kNone = -1;
    // Best right neighbour of every blob.
    std::vector<int> next(n, kNone);
    std::vector<float> nextCost(n, 0.0f);
    for (std::size_t i = 0; i < n; ++i) {
        const float reach = blobs[i].box.x + blobs[i].box.width + kMaxGap * kMaxHeightRatio * blobs[i].box.height;
        for (std::size_t j = i + 1; j < n && blobs[j].box.x < reach; ++j) {
            const float cost = LinkCost(blobs[i], blobs[j]);
            if (cost >= 0.0f && (next[i] == kNone || cost < nextCost[i])) {
                next[i] = static_cast<int>(j);
                nextCost[i] = cost;
            }
        }
    }
    // A blob wanted by several keeps the cheapest link.
    std::vector<int> previous(n, kNone);
    for (std::size_t i = 0; i < n; ++i) {
        if (next[i] == kNone) continue;
        int& owner = previous[static_cast<std::size_t>(next[i])];
        if (owner == kNone || nextCost[i] < nextCost[static_cast<std::size_t>(owner)]) owner = static_cast<int>(i);
    }
    std::vector<BlobRow> rows;
    for (std::size_t start = 0; start < n; ++start) {
        if (previous[start] != kNone) continue;
        BlobRow row;
        for (int k = static_cast<int>(start); k != kNone;) {
            row.blobs.push_back(blobs[static_cast<std::size_t>(k)]);
            const int following = next[static_cast<std::size_t>(k)];
            k = (following != kNone && previous[static_cast<std::size_t>(following)] == k) ? following : kNone;
        }
        if (static_cast<int>(row.blobs.size()) < std::max(1, minBlobs)) continue;
        row.line = FitRowLine(row.blobs);
        row.box = BoxOf(row.blobs);
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace kalvero
