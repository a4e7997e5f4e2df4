#pragma once
#include <cstdint>
#include <vector>

#include "recognizers/CandidateRegion.h"

namespace kalvero {

// Scan settings of one frame and the candidate regions found by all modes.
struct SearchContext {
    SearchContext(std::int32_t scanModeMask, double maxArea);

    std::int32_t scanModeMask = 0;
    double minArea = 0.0;  // 3 % of maxArea
    double maxArea = 0.0;
    std::vector<CandidateRegion> candidates;
};

// Search settings the detector passes to SearchGlyphs for every mode: the
// glyph reader's fixed grouping limits. No lower bound on the hits of a
// group (the shape filter judges it), at most 20 hits, two hits chained when
// their heights differ by no more than a fifth.
constexpr int kMinGroupSize = 0;
constexpr int kMaxGroupSize = 20;
constexpr float kHeightTolerance = 0.2f;

}  // namespace kalvero
