#include "line_reader/GlyphRegionLines.h"

namespace kalvero {

std::vector<LineProposal> ProposeGlyphRegionLines(const cv::Mat& zone, int digitHeight, const RegionBoxSource& source) {
    if (!source || zone.empty() || zone.dims != 2 || digitHeight < 4) return {};
    std::vector<LineProposal> proposals;
    for (const cv::Rect& region : source(zone, digitHeight)) {
        LineProposal proposal;
        proposal.box = region & cv::Rect(0, 0, zone.cols, zone.rows);
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
