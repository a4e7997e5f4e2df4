#pragma once
#include <string>
#include <vector>

#include "recognizers/CandidateRegion.h"

namespace kalvero {

// Optional observer of one RecognizeFrame call, used to explain why a number
// was or was not read. Recognition only calls it through a non-null pointer,
// so leaving it out costs one pointer test per event.
class RecognitionTrace {
public:
    virtual ~RecognitionTrace() = default;

    // The candidate regions of the frame after duplicate removal, in the
    // order they are read; the type code tells the scan mode.
    virtual void OnCandidates(const std::vector<CandidateRegion>& /*regions*/) {}

    // One strip of a carriage-number region was read: its index (0..3), the
    // number of matched digit candidates, the digit text the assembly built
    // (empty when it rejected or was not called) and the digit count.
    virtual void OnStrip(const CandidateRegion& /*region*/, int /*stripIndex*/,
                         int /*candidateCount*/, const std::string& /*digits*/,
                         int /*assembled*/) {}

    // The outcome for one region: the accepted text, or an empty text and a
    // reason why the region gave no reading.
    virtual void OnRegionResult(const CandidateRegion& /*region*/, const std::string& /*text*/,
                                const std::string& /*reason*/) {}
};

}  // namespace kalvero
