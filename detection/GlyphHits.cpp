#include "detection/GlyphHits.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include "detection/GlyphTemplateBank.h"
#include "detection/TemplateCorrelation.h"

namespace kalvero {

bool IsHitVetoed(const GlyphHit& hit, const std::vector<cv::Rect>& verticalRuns) {
    for (const cv::Rect& run : verticalRuns) {
        const bool inColumns = hit.x <= run.x && run.x < hit.x + hit.width;
        const bool rowsOverlap =
            std::max(hit.y, run.y) < std::min(hit.y + hit.height, run.y + run.height);
        if (inColumns && rowsOverlap) {
            return true;
        }
    }
    return false;
}

namespace {

// Value and position of the first maximum of a tile in row-major order.
struct TileMaximum {
    float value;
    cv::Point position;
};

TileMaximum FindTileMaximum(const cv::Mat& map, int tileX, int tileY, int tw, int th) {
    TileMaximum best{map.at<float>(tileY, tileX), cv::Point(0, 0)};
    for (int y = 0; y < th; ++y) {
        const float* row = map.ptr<float>(tileY + y) + tileX;
        for (int x = 0; x < tw; ++x) {
            if (row[x] > best.value) {
                best.value = row[x];
                best.position = cv::Point(x, y);
            }
        }
    }
    return best;
}

}  // namespace

void CollectTileHits(const cv::Mat& correlationMap, int tw, int th,
                     const std::vector<cv::Rect>& verticalRuns, std::vector<GlyphHit>& hits) {
    CV_Assert(correlationMap.type() == CV_32FC1 && tw > 0 && th > 0);
    const int tilesPerRow = correlationMap.cols / tw;
    const int tileRows = correlationMap.rows / th;
    for (int ty = 0; ty < tileRows; ++ty) {
        for (int tx = 0; tx < tilesPerRow; ++tx) {
            const int tileX = tx * tw;
            const int tileY = ty * th;
            const TileMaximum best = FindTileMaximum(correlationMap, tileX, tileY, tw, th);
            if (!(static_cast<double>(best.value) > kHitThreshold)) {
                continue;
            }
            const GlyphHit hit(tileX + best.position.x, tileY + best.position.y, tw, th);
            if (!IsHitVetoed(hit, verticalRuns)) {
                hits.push_back(hit);
            }
        }
    }
}

void CollectTemplateHits(const cv::Mat& scanImage, const cv::Mat& glyphTemplate,
                         const std::vector<cv::Rect>& verticalRuns, std::vector<GlyphHit>& hits) {
    const cv::Mat correlation = CorrelationMap(scanImage, glyphTemplate);
    CollectTileHits(correlation, glyphTemplate.cols, glyphTemplate.rows, verticalRuns, hits);
}

void CollectTemplateHits(const BinaryImageIndex& index, const TemplateBounds& bounds,
                         const std::vector<cv::Rect>& verticalRuns, std::vector<GlyphHit>& hits) {
    const int tw = bounds.width;
    const int th = bounds.height;
    const cv::Size tiles = index.TileCount();
    for (int ty = 0; ty < tiles.height; ++ty) {
        for (int tx = 0; tx < tiles.width; ++tx) {
            if (!CountRangeCanPass(bounds, index.TileLowest(tx, ty), index.TileHighest(tx, ty),
                                   kHitThreshold)) {
                continue;
            }
            const cv::Rect tile(tx * tw, ty * th, tw, th);
            const WindowMaximum best =
                FindFirstMaximum(index, bounds, tile, kHitThreshold, /*floorIncluded=*/false);
            if (!best.found) {
                continue;
            }
            const GlyphHit hit(best.position.x, best.position.y, tw, th);
            if (!IsHitVetoed(hit, verticalRuns)) {
                hits.push_back(hit);
            }
        }
    }
}

std::unique_ptr<BinaryImageIndex> MakeModeIndex(const GlyphTemplateBank& bank, int mode) {
    if (bank.correlationPath != CorrelationPath::Fast) {
        return nullptr;
    }
    return BinaryImageIndex::ForTwoLevelImage(bank.scanImages[mode],
                                              bank.scaledTemplates[kSearchTemplates[0]].size());
}

void CollectGlyphHits(const GlyphTemplateBank& bank, int mode, int g,
                      const BinaryImageIndex* index, std::vector<GlyphHit>& hits) {
    const std::vector<cv::Rect>& runs = bank.exclusionBoxes[mode];
    if (index != nullptr) {
        CollectTemplateHits(*index, bank.templateBounds[g], runs, hits);
    } else {
        CollectTemplateHits(bank.scanImages[mode], bank.scaledTemplates[g], runs, hits);
    }
}

void SortHitsByX(std::vector<GlyphHit>& hits) {
    std::stable_sort(hits.begin(), hits.end(),
                     [](const GlyphHit& a, const GlyphHit& b) { return a.x < b.x; });
}

std::vector<GlyphHit> CollectModeHits(const GlyphTemplateBank& bank, int mode) {
    const std::unique_ptr<BinaryImageIndex> index = MakeModeIndex(bank, mode);
    std::vector<GlyphHit> hits;
    for (int g : kSearchTemplates) {
        CollectGlyphHits(bank, mode, g, index.get(), hits);
    }
    SortHitsByX(hits);
    return hits;
}

}  // namespace kalvero
