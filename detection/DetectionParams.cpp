#include "detection/DetectionParams.h"

#include "recognizers/CandidateRegion.h"

namespace kalvero {

DetectionParams MakeDetectionParams(const RecognitionSettings& settings) {
    const double h = settings.digitHeight;
    DetectionParams params;
    // Every reading of the frame carries the first code as its type code; a
    // single entry keeps the count inside the table.
    params.codeCount = 1;
    params.codes[0] = kSignTypeCode;
    params.scanModeMask = kDefaultScanModeMask;
    params.maxArea = 11.0 * h * h;
    params.digitHeight = h;
    params.maxResults = kDefaultMaxResults;
    params.recognitionFlags = settings.requireFullNumber ? 3 : 1;
    return params;
}

}  // namespace kalvero
