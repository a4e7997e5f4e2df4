#include "detection/CandidateDetector.h"

#include <algorithm>

#include "recognition_common/ParallelTasks.h"
#include "detection/ReadingRanking.h"
#include "detection/ScanModes.h"
#include "detection/SearchContext.h"
#include "recognizers/RecognitionContext.h"
#include "recognizers/RecognitionTrace.h"

namespace kalvero {

CandidateDetector::CandidateDetector(cv::Mat image, const DetectionParams& params,
                                     RecognitionTrace* trace, const DetectionExecution& execution)
    : params_(params), image_(std::move(image)), bank_(image_), trace_(trace) {
    bank_.ScaleTemplates(static_cast<int>(params_.digitHeight));
    bank_.correlationPath = execution.correlationPath;
    if (execution.correlationPath == CorrelationPath::Fast) {
        threadCount_ = std::max(1, execution.threadCount);
    }
}

int CandidateDetector::Detect() {
    SearchContext context(params_.scanModeMask, params_.maxArea);
    ScanModes(context, bank_, threadCount_);
    if (trace_ != nullptr) {
        trace_->OnCandidates(context.candidates);
    }

    ReadCandidates(context.candidates);
    MergeRepeatedReadings(readings_);
    SortReadingsByScore(readings_);
    return static_cast<int>(readings_.size());
}

std::vector<RecognitionResult> CandidateDetector::ReadCandidate(
    const CandidateRegion& candidate) const {
    RecognitionContext context(params_.codeCount, params_.codes);
    if ((params_.recognitionFlags & kFlagRequireFullNumber) != 0) {
        context.requireFullNumber = true;
    }
    context.SetTrace(trace_);
    context.DispatchRegion(bank_, candidate);
    if (context.ReadingCount() > 0) {
        return context.results;
    }
    return {};
}

void CandidateDetector::ReadCandidates(const std::vector<CandidateRegion>& candidates) {
    // Every region is read on its own (the bank is only read), so their
    // readings can be gathered side by side and joined in candidate order.
    const int threads = trace_ == nullptr ? threadCount_ : 1;
    std::vector<std::vector<RecognitionResult>> perCandidate(candidates.size());
    RunTasks(static_cast<int>(candidates.size()), threads, [&](int i) {
        perCandidate[static_cast<std::size_t>(i)] =
            ReadCandidate(candidates[static_cast<std::size_t>(i)]);
    });
    for (const std::vector<RecognitionResult>& results : perCandidate) {
        readings_.insert(readings_.end(), results.begin(), results.end());
    }
}

}  // namespace kalvero
