#pragma once
#include <vector>

#include <opencv2/core.hpp>

#include "detection/GlyphHits.h"

namespace kalvero {

// Indices into the hit list, the seed first.
using HitChain = std::vector<int>;

// Most followers gathered before the nearest one is chosen: the glyph
// reader's fixed look-ahead, enough for the hits of the next digit, which
// several templates may all have matched.
constexpr int kMaxFollowers = 5;

// Chains hits (sorted by x) left to right into rows of characters. Every hit
// seeds its own chain. From the chain's last hit T the scan gathers, until
// a gap wider than 1.6 T.width or five followers, the hits H that lie to the
// right (gap >= -0.1 T.width), have a similar height (within
// heightTolerance x T.height) and a similar top (within 0.2 T.height); the
// nearest by |dx| + 2|dy| (first on ties) joins the chain. A chain is
// complete when no follower is found or it has maxGroupSize members.
std::vector<HitChain> BuildHitChains(const std::vector<GlyphHit>& hits, int maxGroupSize,
                                     float heightTolerance);

// Box of a chain: the minimum-area rotated rectangle around every member's
// corners, its corner points rounded half to even, then the pixel box
// (inclusive of the largest coordinates) around them.
cv::Rect ChainRegion(const std::vector<GlyphHit>& hits, const HitChain& chain);

}  // namespace kalvero
