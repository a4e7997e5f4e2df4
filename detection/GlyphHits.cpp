#include "detection/GlyphHits.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include "detection/GlyphTemplateBank.h"

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
    cv::Mat correlation;
    cv::matchTemplate(scanImage, glyphTemplate, correlation, cv::TM_CCORR_NORMED);
    CollectTileHits(correlation, glyphTemplate.cols, glyphTemplate.rows, verticalRuns, hits);
}

std::vector<GlyphHit> CollectModeHits(const GlyphTemplateBank& bank, int mode) {
    std::vector<GlyphHit> hits;
    const cv::Mat& scan = bank.scanImages[mode];
    for (int g : kSearchTemplates) {
        CollectTemplateHits(scan, bank.scaledTemplates[g], bank.exclusionBoxes[mode], hits);
    }
    std::stable_sort(hits.begin(), hits.end(),
                     [](const GlyphHit& a, const GlyphHit& b) { return a.x < b.x; });
    return hits;
}

}  // namespace kalvero
