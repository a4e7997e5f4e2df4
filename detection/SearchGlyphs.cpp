#include "detection/SearchGlyphs.h"

#include "detection/GlyphHits.h"
#include "detection/GroupHits.h"

namespace kalvero {

void SearchGlyphs(SearchContext& context, const GlyphTemplateBank& bank, int mode,
                  int minGroupSize, int maxGroupSize, float heightTolerance) {
    const std::vector<GlyphHit> hits = CollectModeHits(bank, mode);
    GroupHits(context, bank, mode, hits, minGroupSize, maxGroupSize, heightTolerance);
}

}  // namespace kalvero
