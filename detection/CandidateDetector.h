#pragma once
#include <vector>

#include <opencv2/core.hpp>

#include "detection/DetectionParams.h"
#include "detection/GlyphTemplateBank.h"
#include "recognizers/CandidateRegion.h"
#include "recognizers/RecognitionResult.h"

namespace kalvero {

class RecognitionTrace;

// Finds and reads the candidate number regions of one zone image. One object
// per recognition call; it owns the template bank and the readings.
class CandidateDetector {
public:
    // Keeps the image, builds the bank from it and scales the templates to the
    // digit height truncated to an integer. A non-null trace is told the
    // candidates and every region's outcome.
    CandidateDetector(cv::Mat image, const DetectionParams& params,
                      RecognitionTrace* trace = nullptr);

    // Scans the enabled modes, reads every candidate, merges repeated
    // readings and sorts them best first. Returns the number of readings.
    int Detect();

    const std::vector<RecognitionResult>& Readings() const { return readings_; }
    const GlyphTemplateBank& Bank() const { return bank_; }

private:
    // Dispatches each candidate to its recogniser and collects the readings.
    void ReadCandidates(const std::vector<CandidateRegion>& candidates);

    DetectionParams params_;
    cv::Mat image_;
    GlyphTemplateBank bank_;
    std::vector<RecognitionResult> readings_;
    RecognitionTrace* trace_ = nullptr;
};

}  // namespace kalvero
