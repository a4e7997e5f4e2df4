#pragma once
#include <vector>

#include <opencv2/core.hpp>

#include "line_reader/LineProposals.h"

namespace kalvero {

// Rank given to a glyph-search region: below a row of eight blobs, above a
// row of five, as the glyph search already saw digit shapes there.
constexpr float kGlyphRegionRank = 0.4f;

// The candidate regions of the glyph search (detection/: the built-in
// glyph templates scaled to `digitHeight`, scan modes 1 and 3) as upright
// line proposals: each region's box, read as one line whose digit height
// is the box height. `zone` is 8-bit grey or BGR; a zone that cannot hold a
// scaled template, or a digit height below 4, gives none. Costs a whole
// glyph search (a few milliseconds on a 390 x 90 zone, one thread).
std::vector<LineProposal> ProposeGlyphRegionLines(const cv::Mat& zone, int digitHeight);

}  // namespace kalvero
