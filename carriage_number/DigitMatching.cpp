#include "carriage_number/DigitMatching.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include <opencv2/imgproc.hpp>

#include "carriage_number/DigitClassifiers.h"
#include "carriage_number/StripProfile.h"
#include "detection/GlyphTable.h"
#include "detection/BinaryTemplateSearch.h"
#include "detection/GlyphTemplateBank.h"
#include "detection/TemplateCorrelation.h"

namespace kalvero {

namespace {

// The glyph reader's fixed acceptance level of a digit match, a little above
// the zone scan's hit level: a strip is cut around the digits, so its matches
// are held to a stricter standard.
constexpr double kMinMatchScore = 0.67;
// The last templates of the bank are alternative forms the matcher skips.
constexpr int kAlternativeTemplates = 3;
constexpr int kOneTemplate = 1;

// Columns 1 .. w - 2 with at most one background pixel: vertical bars.
std::vector<int> FullColumns(const cv::Mat& strip) {
    const std::vector<int> counts = BoxColumnCounts(strip, cv::Rect(0, 0, strip.cols, strip.rows));
    std::vector<int> full;
    for (int c = 1; c <= strip.cols - 2; ++c) {
        if (counts[static_cast<std::size_t>(c)] >= strip.rows - 1) {
            full.push_back(c);
        }
    }
    return full;
}

bool CoversFullColumn(const std::vector<int>& full, int x, int width) {
    const auto it = std::lower_bound(full.begin(), full.end(), x);
    return it != full.end() && *it < x + width;
}

}  // namespace

std::vector<MatchWindow> DigitMatchWindows(int stripWidth, int glyphWidth) {
    std::vector<MatchWindow> windows;
    // The glyph reader's fixed window of 1.6 glyph widths: a whole digit and
    // part of its gap, so every digit lies whole in some window.
    const int span = static_cast<int>(1.6 * glyphWidth);
    // Half a glyph width, at least one column so that tiny glyphs still
    // move the window.
    const int step = std::max(1, static_cast<int>(0.5 * glyphWidth));
    int f = 0;
    int e = span;
    while (f < stripWidth) {
        bool last = false;
        if (e > stripWidth) {
            last = true;
            e = stripWidth;
            f = std::max(0, stripWidth - span);
        }
        windows.push_back({f, e});
        e += step;
        f += step;
        if (last) {
            break;
        }
    }
    return windows;
}

bool PassesColumnFill(const cv::Mat& strip, const cv::Rect& box, int templateIndex) {
    if (box.width <= 0) {
        return false;
    }
    const std::vector<int> counts = BoxColumnCounts(strip, box);
    const int empty = static_cast<int>(std::count(counts.begin(), counts.end(), 0));
    const float ratio = static_cast<float>(empty) / static_cast<float>(box.width);
    // The glyph reader's fixed gap limits: a match whose box is more than 30 %
    // blank columns straddles a gap between digits rather than one digit;
    // template 4 is held to the stricter 20 % the reader fixes for it.
    if (ratio > 0.3) {
        return false;
    }
    return !(templateIndex == 4 && ratio > 0.2);
}

cv::Rect TightenBox(const cv::Mat& strip, const cv::Rect& box, int digitHeight, int glyphWidth) {
    const int w0 = box.width;
    const int h0 = box.height;
    // The glyph reader's fixed trimming levels: an edge column with less ink
    // than a fifth of the digit height, or an edge row with less than a tenth
    // of the glyph width, is a neighbour's stroke or noise, not the digit.
    const double columnInk = 0.2 * digitHeight;
    const double rowInk = 0.1 * glyphWidth;
    cv::Rect out = box;

    const std::vector<int> columns = InclusiveColumnCounts(strip, box);
    for (int k = 0; k < 5 && columns[static_cast<std::size_t>(k)] < columnInk; ++k) {
        ++out.x;
        --out.width;
    }
    // Counted from one column beyond the box, whatever the left trim did.
    for (int k = w0; k > w0 - 5 && k >= 0 && columns[static_cast<std::size_t>(k)] < columnInk;
         --k) {
        --out.width;
    }

    const std::vector<int> rows = InclusiveRowCounts(strip, box);
    for (int k = 0; k < 5 && k <= h0 && rows[static_cast<std::size_t>(k)] < rowInk; ++k) {
        ++out.y;
        --out.height;
    }
    return out;
}

void AddCandidate(std::vector<DigitCandidate>& list, int templateIndex, double score,
                  cv::Point loc, int windowStart, int glyphWidth) {
    const int x = windowStart + loc.x;
    const int digit = GlyphDigit(templateIndex);
    // Two matches closer than 0.7 glyph widths (the glyph reader's fixed
    // spacing) cannot be two digits: the better one stands for both.
    const double near = 0.7 * glyphWidth;
    bool found = false;
    for (DigitCandidate& r : list) {
        if (std::abs(r.x - x) < near) {
            found = true;
            if (r.score >= score) {
                break;
            }
            r.digit = digit;
            r.x = x;
            r.score = score;
            r.confidence = MatchConfidence(score);
        }
    }
    if (!found) {
        list.push_back({digit, x, score, MatchConfidence(score)});
    }
}

bool AcceptMatch(int templateIndex, double score, int k, const float p[kShapeClassCount],
                 const float z[kShapeClassCount]) {
    const int c = ClassOfDigit(templateIndex);
    // The glyph reader's fixed acceptance ladder: the weaker the template
    // match, the more the two shape classifiers must agree with it.
    if (templateIndex == DigitOfClass(k) && p[k] > 0.5f && score > 0.64) {
        return true;
    }
    if (score > 0.72 && p[c] > 0.4 && z[c] < 0.4) {
        return true;
    }
    if (score > 0.76 && p[c] > 0.5f) {
        return true;
    }
    return score > 0.7 && p[c] > 0.68;
}

namespace {

// The best match of template j in one window: the maximum of the window's
// correlation map and its first position (window coordinates).
struct WindowMatch {
    bool found = false;
    double score = 0.0;
    cv::Point loc;
};

// The whole map of the window, as the reference path computes it.
WindowMatch MatchInMap(const cv::Mat& view, const cv::Mat& glyph) {
    WindowMatch match;
    match.found = true;
    cv::minMaxLoc(CorrelationMap(view, glyph), nullptr, &match.score, nullptr, &match.loc);
    return match;
}

// The same maximum found through the strip's index, looked for only where
// it can reach kMinMatchScore. A maximum below that is never accepted: every
// later test drops it, and the half-of-best test it would have fed can only
// drop a score below 0.5 (best is at most 1), which the 0.67 test drops
// anyway. So leaving such windows out changes no candidate.
WindowMatch MatchInIndex(const BinaryImageIndex& index, const TemplateBounds& bounds,
                         const cv::Mat& blockBoundMap, const MatchWindow& span) {
    const cv::Size positions = index.PositionCount();
    const cv::Rect range(span.start, 0, span.end - span.start - bounds.width + 1,
                         positions.height);
    const WindowMaximum maximum = FindFirstMaximum(index, bounds, range, kMinMatchScore,
                                                   /*floorIncluded=*/true, &blockBoundMap);
    WindowMatch match;
    match.found = maximum.found;
    match.score = maximum.value;
    match.loc = maximum.position - cv::Point(span.start, 0);
    return match;
}

}  // namespace

void MatchDigits(const cv::Mat& strip, const GlyphTemplateBank& bank,
                 std::vector<DigitCandidate>& candidates) {
    if (strip.empty()) {
        return;
    }
    CV_Assert(strip.type() == CV_8UC1);
    const int H = bank.digitHeight;
    const int W = bank.glyphWidth;
    const int templateEnd = static_cast<int>(bank.nativeTemplates.size()) - kAlternativeTemplates;
    const std::vector<int> full = FullColumns(strip);

    // The fast path searches a 0/255 strip through one index shared by all
    // windows and templates (all scaled templates have the same size), with
    // the block bounds of every template worked out once for the whole strip:
    // neighbouring windows overlap.
    std::unique_ptr<BinaryImageIndex> index;
    std::vector<cv::Mat> blockBoundMaps(static_cast<std::size_t>(std::max(templateEnd, 0)));
    const cv::Size glyphSize = bank.scaledTemplates.front().size();
    if (bank.correlationPath == CorrelationPath::Fast) {
        index = BinaryImageIndex::ForTwoLevelImage(strip, glyphSize);
    }
    if (index) {
        for (int j = 0; j < templateEnd; ++j) {
            if (j != kOneTemplate) {
                blockBoundMaps[static_cast<std::size_t>(j)] =
                    index->BlockBoundMap(bank.templateBounds[static_cast<std::size_t>(j)]);
            }
        }
    }

    std::vector<DigitCandidate> window;
    for (const MatchWindow& span : DigitMatchWindows(strip.cols, W)) {
        window.clear();
        double best = 0.0;
        const cv::Mat view = strip.colRange(span.start, span.end);
        for (int j = 0; j < templateEnd; ++j) {
            if (j == kOneTemplate) {
                continue;
            }
            const cv::Mat& glyph = bank.scaledTemplates[static_cast<std::size_t>(j)];
            if (view.cols < glyph.cols || view.rows < glyph.rows) {
                continue;  // the window cannot hold the glyph
            }
            const WindowMatch match =
                index ? MatchInIndex(*index, bank.templateBounds[static_cast<std::size_t>(j)],
                                     blockBoundMaps[static_cast<std::size_t>(j)], span)
                      : MatchInMap(view, glyph);
            if (!match.found) {
                continue;
            }
            const double score = match.score;
            const cv::Point loc = match.loc;
            const int x = span.start + loc.x;
            if (CoversFullColumn(full, x, W)) {
                continue;
            }
            if (best > 2.0 * score) {
                continue;
            }
            best = std::max(best, score);
            if (score < kMinMatchScore) {
                continue;
            }
            const cv::Rect box(x, loc.y, W, H);
            if (!PassesColumnFill(strip, box, j)) {
                continue;
            }
            const cv::Rect tight = TightenBox(strip, box, H, W);
            if (tight.width <= 0 || tight.height <= 0) {
                continue;  // nothing left to classify
            }
            float p[kShapeClassCount];
            float z[kShapeClassCount];
            const int k = ClassifyByProbes(ExtractProbeFeatures(strip, tight), p);
            ClassifyByZones(strip, tight, z);
            if (AcceptMatch(j, score, k, p, z)) {
                AddCandidate(window, j, score, loc, span.start, W);
            }
        }
        candidates.insert(candidates.end(), window.begin(), window.end());
    }
}

}  // namespace kalvero
