#include "detection/CandidateDetector.h"

#include "detection/ReadingRanking.h"
#include "detection/ScanModes.h"
#include "detection/SearchContext.h"
#include "recognizers/RecognitionContext.h"
#include "recognizers/RecognitionTrace.h"

namespace kalvero {

CandidateDetector::CandidateDetector(cv::Mat image, const DetectionParams& params,
                                     RecognitionTrace* trace)
    : params_(params), image_(std::move(image)), bank_(image_), trace_(trace) {
    bank_.ScaleTemplates(static_cast<int>(params_.digitHeight));
}

int CandidateDetector::Detect() {
    SearchContext context(params_.scanModeMask, params_.maxArea);
    ScanModes(context, bank_);
    if (trace_ != nullptr) {
        trace_->OnCandidates(context.candidates);
    }

    ReadCandidates(context.candidates);
    MergeRepeatedReadings(readings_);
    SortReadingsByScore(readings_);
    return static_cast<int>(readings_.size());
}

void CandidateDetector::ReadCandidates(const std::vector<CandidateRegion>& candidates) {
    for (const CandidateRegion& candidate : candidates) {
        RecognitionContext context(params_.codeCount, params_.codes);
        if ((params_.recognitionFlags & kFlagRequireFullNumber) != 0) {
            context.requireFullNumber = true;
        }
        context.SetTrace(trace_);
        context.DispatchRegion(bank_, candidate);
        if (context.ReadingCount() > 0) {
            readings_.insert(readings_.end(), context.results.begin(), context.results.end());
        }
    }
}

}  // namespace kalvero
