#pragma once
#include <vector>

#include <opencv2/core.hpp>

#include "line_reader/LineProposals.h"
#include "line_reader/LineReaderSettings.h"

namespace kalvero {

// Rank given to a glyph-search region: below a row of eight blobs, above a
// row of five, as the glyph search already saw digit shapes there.
constexpr float kGlyphRegionRank = 0.4f;

// The regions `source` finds in `zone` at `digitHeight` (the glyph
// search's candidate regions, handed in by whoever wires the engines) as
// upright line proposals: each box within the zone read as one line whose
// digit height is the box height. No source, an empty zone or a digit
// height below 4 gives none.
std::vector<LineProposal> ProposeGlyphRegionLines(const cv::Mat& zone, int digitHeight, const RegionBoxSource& source);

}  // namespace kalvero
