#include "detection/GlyphRegionBoxes.h"

#include "detection/DetectionParams.h"
#include "detection/GlyphTemplateBank.h"
#include "detection/RecognizeFrame.h"
#include "detection/ScanModes.h"
#include "detection/SearchContext.h"

namespace kalvero {

namespace {
// Below this height the glyph templates are mere dots.
constexpr int kMinDigitHeight = 4;
}  // namespace

std::vector<cv::Rect> GlyphRegionBoxes(const cv::Mat& zone, int digitHeight) {
    if (digitHeight < kMinDigitHeight || !ZoneCanBeSearched(zone, digitHeight)) return {};

    RecognitionSettings settings;
    settings.digitHeight = digitHeight;
    const DetectionParams params = MakeDetectionParams(settings);
    GlyphTemplateBank bank(zone);
    bank.ScaleTemplates(digitHeight);
    SearchContext context(params.scanModeMask, params.maxArea);
    ScanModes(context, bank, 1);

    std::vector<cv::Rect> boxes;
    for (const CandidateRegion& region : context.candidates) {
        if (region.width <= 0 || region.height <= 0) continue;
        const cv::Rect box = cv::Rect(region.x, region.y, region.width, region.height) &
                             cv::Rect(0, 0, zone.cols, zone.rows);
        if (!box.empty()) boxes.push_back(box);
    }
    return boxes;
}

}  // namespace kalvero
