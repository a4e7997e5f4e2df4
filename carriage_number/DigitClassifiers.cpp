#include "carriage_number/DigitClassifiers.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "carriage_number/StripProfile.h"

namespace kalvero {

namespace {

// The glyph reader's fixed cap on the steps of one probe: a probe crosses a
// digit in at most a few hundred steps, so the cap only ends a walk whose
// slope would never reach its end point.
constexpr int kMaxBandPositions = 1000;

struct Probe {
    ProbeSegment segment;
    StripLine line;
};

// Each probe's line in box-relative units, derived once.
const std::array<Probe, kProbeCount>& Probes() {
    static const std::array<Probe, kProbeCount> probes = [] {
        std::array<Probe, kProbeCount> out{};
        for (int k = 0; k < kProbeCount; ++k) {
            const ProbeSegment& s = ProbeSegments()[k];
            out[k].segment = s;
            out[k].line = LineThroughPoints(cv::Point2f(s.x1, s.y1), cv::Point2f(s.x2, s.y2));
        }
        return out;
    }();
    return probes;
}

// Ink samples of the band across a probe at box pixel (px, py): the 2d + 1
// pixels across the walking direction, those outside the box left out.
int InkAcross(const cv::Mat& strip, const cv::Rect& box, int px, int py, int d, bool alongX) {
    // The band runs down a column when walking along x, else along a row.
    const int fixed = alongX ? px : py;
    const int fixedLimit = alongX ? box.width : box.height;
    if (fixed < 0 || fixed >= fixedLimit) {
        return 0;
    }
    const int centre = alongX ? py : px;
    const int acrossLimit = alongX ? box.height : box.width;
    const int from = std::max(centre - d, 0);
    const int to = std::min(centre + d, acrossLimit - 1);
    int ink = 0;
    if (alongX) {
        for (int row = from; row <= to; ++row) {
            ink += strip.ptr<uchar>(box.y + row)[box.x + fixed] != 0 ? 1 : 0;
        }
    } else {
        const uchar* line = strip.ptr<uchar>(box.y + fixed) + box.x;
        for (int col = from; col <= to; ++col) {
            ink += line[col] != 0 ? 1 : 0;
        }
    }
    return ink;
}

}  // namespace

int ProbeBandHalfWidth(int width, int height) {
    const float area = static_cast<float>(width * height);
    // The glyph reader's fixed band: half the side of one 35th of the digit's
    // area, rounded, so the band grows with the stroke width of the digit.
    return static_cast<int>(std::sqrt(area / 35.0f) * 0.5f + 0.5f);
}

ProbeFeatures::Flags FlagProbe(float count, float sum, float n, int d) {
    const float share = count / n;
    const float density = sum / (static_cast<float>(2 * d + 1) * n);
    ProbeFeatures::Flags flags;
    // The glyph reader's fixed probe levels: a probe mostly on ink crosses a
    // stroke; one that is mostly off ink, or on thin ink, crosses none.
    flags.covered = share > 0.8f ? 1 : 0;
    flags.empty = (share < 0.4f || density < 0.3f) ? 1 : 0;
    return flags;
}

ProbeFeatures ExtractProbeFeatures(const cv::Mat& strip, const cv::Rect& box) {
    CV_Assert(strip.type() == CV_8UC1 && box.width > 0 && box.height > 0 &&
              (box & cv::Rect(0, 0, strip.cols, strip.rows)) == box);
    const float w = static_cast<float>(box.width);
    const float h = static_cast<float>(box.height);
    const int d = ProbeBandHalfWidth(box.width, box.height);

    ProbeFeatures features;
    for (int k = 0; k < kProbeCount; ++k) {
        const ProbeSegment& s = Probes()[k].segment;
        StripLine line = Probes()[k].line;
        const float sx = (s.x2 - s.x1 > 0.0f) ? 1.0f : -1.0f;
        const float sy = (s.y2 - s.y1 > 0.0f) ? 1.0f : -1.0f;
        // Flat in box units but steep in pixels: walk along y instead.
        if (line.orientation == 1 &&
            std::fabs(s.y2 - s.y1) * h > 1.9f * std::fabs(s.x2 - s.x1) * w &&
            std::fabs(line.slope) > 0.45f) {
            line.orientation = 2;
            line.intercept = -line.intercept / line.slope;
            line.slope = 1.0f / line.slope;
        }
        const bool alongX = line.orientation == 1;

        float u = s.x1;
        float v = s.y1;
        float n = 1.0f;
        float count = 0.0f;
        float sum = 0.0f;
        for (;;) {
            const int px = static_cast<int>(w * u);
            const int py = static_cast<int>(h * v);
            const int ink = InkAcross(strip, box, px, py, d, alongX);
            if (ink > 0) {
                count += 1.0f;
                sum += static_cast<float>(ink);
            }
            bool ended;
            if (alongX) {
                u = u + sx / w;
                v = line.slope * u + line.intercept;
                ended = (sx > 0.0f) ? u > s.x2 : u < s.x2;
            } else {
                v = v + sy / h;
                u = line.slope * v + line.intercept;
                ended = (sy > 0.0f) ? v > s.y2 : v < s.y2;
            }
            if (ended) {
                break;
            }
            n += 1.0f;
            if (n > static_cast<float>(kMaxBandPositions)) {
                break;
            }
        }
        features.probes[k] = FlagProbe(count, sum, n, d);
    }
    return features;
}

int ClassifyByProbes(const ProbeFeatures& features, float p[kShapeClassCount]) {
    int miss[kShapeClassCount] = {};
    for (int i = 0; i < kShapeClassCount; ++i) {
        const char* prototype = ProbePrototypes()[i];
        int agree = 0;
        int weight = 0;
        for (int k = 0; k < kProbeCount; ++k) {
            const bool pCovered = prototype[k] == 'C';
            const bool pEmpty = prototype[k] == 'E';
            const bool fCovered = features.probes[k].covered != 0;
            const bool fEmpty = features.probes[k].empty != 0;
            weight += pCovered ? 3 : 0;
            weight += pEmpty ? 1 : 0;
            agree += (fCovered && pCovered) ? 3 : 0;
            agree += (fEmpty && pEmpty) ? 1 : 0;
            miss[i] += (fCovered && !pCovered) ? 1 : 0;
            miss[i] += (fEmpty && !pEmpty) ? 1 : 0;
        }
        p[i] = static_cast<float>(agree) / static_cast<float>(weight);
    }
    int best = 0;
    for (int i = 1; i < kShapeClassCount; ++i) {
        const float diff = std::fabs(p[i] - p[best]);
        if (p[i] > p[best] || (static_cast<double>(diff) < 0.01 && miss[i] < miss[best])) {
            best = i;
        }
    }
    return best;
}

ZoneGrid ComputeZoneGrid(const cv::Mat& strip, const cv::Rect& box) {
    CV_Assert(strip.type() == CV_8UC1 && box.width > 0 && box.height > 0 &&
              (box & cv::Rect(0, 0, strip.cols, strip.rows)) == box);
    ZoneGrid cells{};
    const float fx = static_cast<float>(kZoneColumns) / static_cast<float>(box.width);
    const float fy = static_cast<float>(kZoneRows) / static_cast<float>(box.height);

    // Shares of one pixel extent [i * f, (i + 1) * f) in its first cell and
    // the next one.
    struct Split {
        int first;
        float a;
        float b;
    };
    auto split = [](int i, float f) {
        const float from = static_cast<float>(i) * f;
        const float to = static_cast<float>(i + 1) * f;
        const int c0 = static_cast<int>(from);
        const int c1 = static_cast<int>(to);
        if (c0 == c1) {
            return Split{c0, 1.0f, 0.0f};
        }
        const float e = to - from;
        return Split{c0, (static_cast<float>(c0 + 1) - from) / e, (to - static_cast<float>(c1)) / e};
    };

    // The column shares are the same on every row.
    std::vector<Split> columns;
    columns.reserve(static_cast<std::size_t>(box.width));
    for (int c = 0; c < box.width; ++c) {
        columns.push_back(split(c, fx));
    }
    for (int r = 0; r < box.height; ++r) {
        const uchar* row = strip.ptr<uchar>(box.y + r) + box.x;
        const Split ty = split(r, fy);
        for (int c = 0; c < box.width; ++c) {
            if (row[c] == 0) {
                continue;
            }
            const Split& sx = columns[static_cast<std::size_t>(c)];
            const int r0 = ty.first;
            const int c0 = sx.first;
            if (r0 >= kZoneRows || c0 >= kZoneColumns) {
                continue;  // cannot happen for boxes of realistic size
            }
            cells[r0 * kZoneColumns + c0] += sx.a * ty.a;
            if (c0 < kZoneColumns - 1) {
                cells[r0 * kZoneColumns + c0 + 1] += sx.b * ty.a;
            }
            if (r0 < kZoneRows - 1) {
                cells[(r0 + 1) * kZoneColumns + c0] += sx.a * ty.b;
            }
            if (c0 < kZoneColumns - 1 && r0 < kZoneRows - 1) {
                cells[(r0 + 1) * kZoneColumns + c0 + 1] += sx.b * ty.b;
            }
        }
    }
    const float area = fx * fy;
    for (float& cell : cells) {
        cell *= area;
    }
    return cells;
}

void ClassifyByZones(const cv::Mat& strip, const cv::Rect& box, float z[kShapeClassCount]) {
    const ZoneGrid grid = ComputeZoneGrid(strip, box);
    for (int i = 0; i < kShapeClassCount; ++i) {
        const ZoneGrid& reference = ZoneReferenceGrids()[i];
        float sum = 0.0f;
        for (int cell = 0; cell < kZoneCells; ++cell) {
            sum += std::fabs(grid[cell] - reference[cell]);
        }
        z[i] = sum / static_cast<float>(kZoneCells);
    }
}

}  // namespace kalvero
