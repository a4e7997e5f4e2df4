#include "detection/GroupHits.h"

#include "detection/GlyphTemplateBank.h"
#include "detection/HitChains.h"
#include "detection/RegionFilters.h"
#include "detection/SearchContext.h"

namespace kalvero {

void GroupHits(SearchContext& context, const GlyphTemplateBank& bank, int mode,
               const std::vector<GlyphHit>& hits, int minGroupSize, int maxGroupSize,
               float heightTolerance) {
    const int h = bank.digitHeight;
    const int w = bank.glyphWidth;

    std::vector<cv::Rect> regions;
    for (const HitChain& chain : BuildHitChains(hits, maxGroupSize, heightTolerance)) {
        if (static_cast<int>(chain.size()) >= minGroupSize) {
            regions.push_back(ChainRegion(hits, chain));
        }
    }

    FilterRegionsByArea(regions, context.minArea, context.maxArea);
    CleanUpOverlaps(regions, context.minArea);
    MergeNeighbours(regions, static_cast<int>(0.4 * h), 3 * w);
    FilterRegionsByShape(regions, h, w);

    for (const cv::Rect& region : regions) {
        const cv::Rect box = EnlargeRegion(region, bank.greyImage.size());
        CandidateRegion candidate;
        candidate.x = box.x;
        candidate.y = box.y;
        candidate.width = box.width;
        candidate.height = box.height;
        candidate.typeCode = kNumberTypeCodeBase + mode;
        context.candidates.push_back(candidate);
    }
}

}  // namespace kalvero
