#include "worker/RunPlan.h"

namespace kalvero {

bool CheckDigitVoteFor(const RunPlan& plan, RecognitionEngine engine) {
    return engine == RecognitionEngine::Learned ? plan.learnedCheckDigitVote : plan.glyphCheckDigitVote;
}

RunPlan PlanOf(const RunSettings& settings) {
    RunPlan plan;
    plan.numberH = settings.numberH.load();
    plan.zone = cv::Rect(settings.zoneX.load(), settings.zoneY.load(), settings.zoneW.load(), settings.zoneH.load());
    plan.deepBuf = settings.deepBuf.load();
    plan.colNum = settings.colNum.load();
    plan.zoom = settings.zoom.load();
    plan.engine = settings.engine.load() == static_cast<std::int32_t>(RecognitionEngine::Learned)
                      ? RecognitionEngine::Learned
                      : RecognitionEngine::Glyph;
    plan.learnedCheckDigitVote = settings.learnedCheckDigitVote.load();
    plan.glyphCheckDigitVote = settings.glyphCheckDigitVote.load();
    plan.confirmStreak = settings.confirmStreak.load();
    return plan;
}

}  // namespace kalvero
