#pragma once
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

struct GlyphTemplateBank;

// A place where a digit template matched: the template's box in scan-image
// pixels (its size is always the scaled template's size).
using GlyphHit = cv::Rect;

// Correlation a tile's best match must exceed to count as a hit.
constexpr double kHitThreshold = 0.64;

// Templates the search matches: every digit but 1; the alternative shapes
// (10 to 12) are not used.
constexpr int kSearchTemplates[] = {0, 2, 3, 4, 5, 6, 7, 8, 9};

// True when a removed vertical run lies in the hit's columns and overlaps its
// rows (using the run's stored height).
bool IsHitVetoed(const GlyphHit& hit, const std::vector<cv::Rect>& verticalRuns);

// Scans a correlation map in whole tiles of tw x th (the partial tiles at the
// right and bottom are skipped), rows top to bottom, tiles left to right.
// A tile whose first maximum exceeds 0.64 gives the hit (tile origin +
// maximum position, tw, th) unless a vertical run vetoes it. Surviving hits
// are appended to `hits`.
void CollectTileHits(const cv::Mat& correlationMap, int tw, int th,
                     const std::vector<cv::Rect>& verticalRuns, std::vector<GlyphHit>& hits);

// Hits of one template on one binarised scan image: normalised
// cross-correlation, then CollectTileHits.
void CollectTemplateHits(const cv::Mat& scanImage, const cv::Mat& glyphTemplate,
                         const std::vector<cv::Rect>& verticalRuns, std::vector<GlyphHit>& hits);

// All hits of scan mode m (scanImages[m], exclusionBoxes[m], templates 0 and
// 2..9 in that order), sorted by x ascending with ties kept in found order.
std::vector<GlyphHit> CollectModeHits(const GlyphTemplateBank& bank, int mode);

}  // namespace kalvero
