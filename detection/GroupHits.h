#pragma once
#include <vector>

#include "detection/GlyphHits.h"

namespace kalvero {

struct GlyphTemplateBank;
struct SearchContext;

// Turns the x-sorted hits of scan mode m into candidate regions: chains of
// at least minGroupSize hits (at most maxGroupSize) become boxes, which are
// filtered by area, cleaned of overlaps, merged with their neighbours,
// filtered by shape and enlarged by one pixel; the survivors are appended to
// the context's candidates with type code 300 + m.
void GroupHits(SearchContext& context, const GlyphTemplateBank& bank, int mode,
               const std::vector<GlyphHit>& hits, int minGroupSize, int maxGroupSize,
               float heightTolerance);

}  // namespace kalvero
