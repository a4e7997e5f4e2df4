#include "line_reader/GlyphRegionLines.h"

#include "detection/DetectionParams.h"
#include "detection/GlyphTemplateBank.h"
#include "detection/ScanModes.h"
#include "detection/SearchContext.h"

namespace kalvero {

std::vector<LineProposal> ProposeGlyphRegionLines(const cv::Mat& zone, int digitHeight) {
    if (zone.empty() || zone.dims != 2 || (zone.type() != CV_8UC1 && zone.type() != CV_8UC3) ||
        digitHeight < 4) {
        return {};
    }
    // The same bounds as the glyph engine's entry: W + 2 columns, h + 2 rows.
    if (zone.cols - 2 < GlyphWidthFor(digitHeight) || zone.rows - 2 < digitHeight) return {};

    RecognitionSettings settings;
    settings.digitHeight = digitHeight;
    const DetectionParams params = MakeDetectionParams(settings);
    GlyphTemplateBank bank(zone);
    bank.ScaleTemplates(digitHeight);
    SearchContext context(params.scanModeMask, params.maxArea);
    ScanModes(context, bank, 1);

    std::vector<LineProposal> proposals;
    for (const CandidateRegion& region : context.candidates) {
        if (region.width <= 0 || region.height <= 0) continue;
        LineProposal proposal;
        proposal.box = cv::Rect(region.x, region.y, region.width, region.height) &
                       cv::Rect(0, 0, zone.cols, zone.rows);
        if (proposal.box.empty()) continue;
        proposal.line.centre = cv::Point2f(proposal.box.x + 0.5f * proposal.box.width,
                                           proposal.box.y + 0.5f * proposal.box.height);
        proposal.line.length = static_cast<float>(proposal.box.width);
        proposal.line.digitHeight = static_cast<float>(proposal.box.height);
        proposal.rank = kGlyphRegionRank;
        proposals.push_back(proposal);
    }
    return proposals;
}

}  // namespace kalvero
