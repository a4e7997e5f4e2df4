#pragma once
#include <cstdint>
#include <mutex>

#include <opencv2/core.hpp>

#include "recognition_common/RecognitionEngine.h"
#include "worker/RunSettings.h"

namespace kalvero {

// The settings a run reads its frames with, as one plain value. The loop
// holds one and replaces it whole when the driver hands it a new one
// (VideoThread::ApplyPlan), so no frame is ever read with half of an old
// value and half of a new one. numberH is the digit height; for the
// learned engine a hint, and 0 there means none (every height is looked
// for).
struct RunPlan {
    std::int32_t numberH = 29;
    cv::Rect zone;
    std::int32_t deepBuf = 30;
    std::int32_t colNum = 5;
    float zoom = 1.0f;
    RecognitionEngine engine = RecognitionEngine::Glyph;
    // Confirm only numbers whose check digit holds: always with the learned
    // engine unless turned off (rolling stock numbered otherwise), with the
    // glyph engine only when asked for.
    bool learnedCheckDigitVote = true;
    bool glyphCheckDigitVote = false;
    // With the learned engine, a number read with a high score on this many
    // consecutive frames is confirmed as well as by the vote
    // (StreakConfirmation); 0: the vote alone.
    std::int32_t confirmStreak = 0;

    bool operator==(const RunPlan& other) const {
        return numberH == other.numberH && zone == other.zone && deepBuf == other.deepBuf &&
               colNum == other.colNum && zoom == other.zoom && engine == other.engine &&
               learnedCheckDigitVote == other.learnedCheckDigitVote &&
               glyphCheckDigitVote == other.glyphCheckDigitVote && confirmStreak == other.confirmStreak;
    }
};

// The check-digit rule of the vote for `engine` under `plan`.
bool CheckDigitVoteFor(const RunPlan& plan, RecognitionEngine engine);

// The value of a driver's settings record, read once (an engine number
// other than Learned's is the glyph engine).
RunPlan PlanOf(const RunSettings& settings);

// The latest plan a driver has handed over, for the run loop to take.
// Threads: any thread publishes, any thread takes a copy; the whole value
// goes across under one lock.
class RunPlanHandoff {
public:
    void Publish(const RunPlan& plan) {
        std::lock_guard<std::mutex> lock(mutex_);
        plan_ = plan;
    }
    RunPlan Latest() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return plan_;
    }

private:
    mutable std::mutex mutex_;
    RunPlan plan_;
};

}  // namespace kalvero
