#pragma once
#include <memory>
#include <vector>

#include <opencv2/core.hpp>

#include "detection/BinaryTemplateSearch.h"

namespace kalvero {

struct GlyphTemplateBank;
class BinaryImageIndex;

// A place where a digit template matched: the template's box in scan-image
// pixels (its size is always the scaled template's size).
using GlyphHit = cv::Rect;

// Correlation a tile's best match must exceed to count as a hit: the glyph
// reader's fixed hit level, which the fast path's bounds are built to prune
// against without changing a single hit.
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

// Hits of one template on one binarised scan image: the full normalised
// cross-correlation map, then CollectTileHits.
void CollectTemplateHits(const cv::Mat& scanImage, const cv::Mat& glyphTemplate,
                         const std::vector<cv::Rect>& verticalRuns, std::vector<GlyphHit>& hits);

// The same hits found without the full map: tiles whose window counts show
// that no window can exceed 0.64 are skipped, the others searched with
// FindFirstMaximum. `index` indexes the (0/255) scan image for windows of
// the template's size.
void CollectTemplateHits(const BinaryImageIndex& index, const TemplateBounds& bounds,
                         const std::vector<cv::Rect>& verticalRuns, std::vector<GlyphHit>& hits);

// The index the fast search of scan mode m uses, or null when the bank
// takes the reference path or the scan image is not purely 0/255 (then the
// full maps are computed).
std::unique_ptr<BinaryImageIndex> MakeModeIndex(const GlyphTemplateBank& bank, int mode);

// Hits of template g on scan mode m, appended in tile order, through the
// index when there is one.
void CollectGlyphHits(const GlyphTemplateBank& bank, int mode, int g,
                      const BinaryImageIndex* index, std::vector<GlyphHit>& hits);

// Sorts hits by x ascending, hits with equal x kept in found order.
void SortHitsByX(std::vector<GlyphHit>& hits);

// All hits of scan mode m (scanImages[m], exclusionBoxes[m], templates 0 and
// 2..9 in that order), sorted by x ascending with ties kept in found order.
std::vector<GlyphHit> CollectModeHits(const GlyphTemplateBank& bank, int mode);

}  // namespace kalvero
