#include "line_reader/DigitGroups.h"

#include <algorithm>
#include <cmath>

namespace kalvero {

namespace {

// Largest ratio of two groups' digit heights.
constexpr float kMaxGroupHeightRatio = 1.35f;
// Misalignment of a group's first digit from the line of the group before,
// besides the tilt, in digit heights.
constexpr float kGroupCentreSlack = 0.33f;
// How far the line of the group before may be off in angle (its tilt is
// measured over a few digits only).
constexpr float kGroupTiltSlackDegrees = 3.0f;
// Groups may touch or overlap by this much (in digit heights) and still be
// one after the other.
constexpr float kGroupOverlap = 0.1f;

constexpr float kRadians = static_cast<float>(CV_PI) / 180.0f;

// The gap from `a`'s last blob to `b`'s first, or a negative value when `b`
// cannot follow `a` on one number.
float FollowingGap(const BlobRow& a, const BlobRow& b) {
    const float ha = a.line.digitHeight;
    const float hb = b.line.digitHeight;
    if (!(ha > 0.0f) || !(hb > 0.0f) || std::max(ha, hb) > kMaxGroupHeightRatio * std::min(ha, hb)) return -1.0f;
    const float h = 0.5f * (ha + hb);
    const DigitBlob& last = a.blobs.back();
    const DigitBlob& first = b.blobs.front();
    const float gap = static_cast<float>(first.box.x - (last.box.x + last.box.width));
    if (gap < -kGroupOverlap * h || gap > kMaxGroupGap * h) return -1.0f;
    // Where a's line is at b's first digit.
    const float dx = first.CentreX() - a.line.centre.x;
    const float expectedY = a.line.centre.y + dx * std::tan(a.line.angleDegrees * kRadians);
    const float slack =
        kGroupCentreSlack * h + std::tan(kGroupTiltSlackDegrees * kRadians) * std::max(0.0f, first.CentreX() - last.CentreX());
    if (std::abs(first.CentreY() - expectedY) > slack) return -1.0f;
    return std::max(0.0f, gap);
}

BlobRow RowOf(std::vector<DigitBlob> blobs) {
    BlobRow row;
    row.line = FitRowLine(blobs);
    row.box = blobs.front().box;
    for (const DigitBlob& blob : blobs) row.box |= blob.box;
    row.blobs = std::move(blobs);
    return row;
}

}  // namespace

std::vector<BlobRow> JoinDigitGroups(const std::vector<BlobRow>& rows, int minBlobs, int maxBlobs) {
    std::vector<BlobRow> joined;
    for (std::size_t start = 0; start < rows.size(); ++start) {
        if (rows[start].blobs.empty()) continue;
        std::vector<DigitBlob> blobs = rows[start].blobs;
        std::size_t current = start;
        while (static_cast<int>(blobs.size()) < maxBlobs) {
            // The nearest group that may follow the current one.
            std::size_t best = rows.size();
            float bestGap = 0.0f;
            for (std::size_t j = current + 1; j < rows.size(); ++j) {
                if (rows[j].blobs.empty()) continue;
                const float gap = FollowingGap(rows[current], rows[j]);
                if (gap >= 0.0f && (best == rows.size() || gap < bestGap)) {
                    best = j;
                    bestGap = gap;
                }
            }
            if (best == rows.size()) break;
            if (static_cast<int>(blobs.size() + rows[best].blobs.size()) > maxBlobs) break;
            blobs.insert(blobs.end(), rows[best].blobs.begin(), rows[best].blobs.end());
            current = best;
            if (static_cast<int>(blobs.size()) >= minBlobs) joined.push_back(RowOf(blobs));
        }
    }
    return joined;
}

}  // namespace kalvero
