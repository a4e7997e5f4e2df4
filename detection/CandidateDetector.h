#pragma once
#include <vector>

#include <opencv2/core.hpp>

#include "detection/DetectionParams.h"
#include "detection/GlyphTemplateBank.h"
#include "recognizers/CandidateRegion.h"
#include "recognizers/RecognitionResult.h"

namespace kalvero {

class RecognitionTrace;

// How a detector runs: the correlation path of its bank and the threads it
// may use (the calling thread included). The reference path always runs on
// the calling thread alone.
struct DetectionExecution {
    CorrelationPath correlationPath = CorrelationPath::Fast;
    int threadCount = 1;
};

// Finds and reads the candidate number regions of one zone image. One object
// per recognition call; it owns the template bank and the readings.
class CandidateDetector {
public:
    // Keeps the image, builds the bank from it and scales the templates to the
    // digit height truncated to an integer. A non-null trace is told the
    // candidates and every region's outcome.
    CandidateDetector(cv::Mat image, const DetectionParams& params,
                      RecognitionTrace* trace = nullptr, const DetectionExecution& execution = {});

    // Scans the enabled modes, reads every candidate, merges repeated
    // readings and sorts them best first. Returns the number of readings.
    int Detect();

    const std::vector<RecognitionResult>& Readings() const { return readings_; }
    const GlyphTemplateBank& Bank() const { return bank_; }

private:
    // Dispatches each candidate to its recogniser and collects the readings
    // in candidate order; regions are read side by side when the detector
    // may use several threads and no trace listens.
    void ReadCandidates(const std::vector<CandidateRegion>& candidates);
    // The readings of one candidate (none, or the one its recogniser kept).
    std::vector<RecognitionResult> ReadCandidate(const CandidateRegion& candidate) const;

    DetectionParams params_;
    cv::Mat image_;
    GlyphTemplateBank bank_;
    std::vector<RecognitionResult> readings_;
    RecognitionTrace* trace_ = nullptr;
    int threadCount_ = 1;
};

}  // namespace kalvero
