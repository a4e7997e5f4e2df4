#pragma once
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "recognizers/RecognitionTrace.h"

namespace kalvero {

// Collects what recognition did in one frame (candidate regions of each scan
// mode, the strips read in each region, the outcome of each region) and
// turns it into one JSON line for --explain:
// {"frame": N, "scan_modes": [{"mode": 1, "type": 301, "candidates": [{"x":
//  .., "y": .., "width": .., "height": ..}, ...]}, ...], "regions": [{"x": ..,
//  "y": .., "width": .., "height": .., "type": 301, "strips": [{"strip": 0,
//  "digit_candidates": 6, "digits": "5247306", "assembled": 7}, ...],
//  "text": "52473063" or null, "reason": null or "why there was no reading"}]}
// Boxes are in frame coordinates: the zone origin given to TakeFrameLine is
// added to the zone-image boxes recognition reports.
class ExplainTrace : public RecognitionTrace {
public:
    void OnCandidates(const std::vector<CandidateRegion>& regions) override;
    void OnStrip(const CandidateRegion& region, int stripIndex, int candidateCount,
                 const std::string& digits, int assembled) override;
    void OnRegionResult(const CandidateRegion& region, const std::string& text,
                        const std::string& reason) override;

    // The JSON line of the frame collected so far, then starts afresh.
    std::string TakeFrameLine(int frameNumber, cv::Point zoneOrigin);

private:
    struct Strip {
        int index = 0;
        int candidates = 0;
        std::string digits;
        int assembled = 0;
    };
    struct Region {
        CandidateRegion region;
        std::vector<Strip> strips;
        std::string text;
        std::string reason;
    };
    std::vector<CandidateRegion> candidates_;
    std::vector<Strip> pendingStrips_;  // strips of the region being read
    std::vector<Region> regions_;
};

}  // namespace kalvero
