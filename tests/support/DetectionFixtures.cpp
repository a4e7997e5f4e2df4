#include "support/DetectionFixtures.h"

#include <cstring>

#include "detection/DetectionParams.h"
#include "detection/GlyphTemplateBank.h"
#include "detection/ScanModes.h"
#include "detection/SearchContext.h"

namespace kalvero::testing {

void RecordingTrace::OnCandidates(const std::vector<CandidateRegion>& regions) {
    ++candidateCalls;
    candidates = regions;
}

void RecordingTrace::OnRegionResult(const CandidateRegion& region, const std::string& text,
                                    const std::string& reason) {
    resultRegions.push_back(region);
    resultTexts.push_back(text);
    resultReasons.push_back(reason);
}

std::vector<CandidateRegion> ScanCandidates(const cv::Mat& zone, int digitHeight) {
    RecognitionSettings settings;
    settings.digitHeight = digitHeight;
    const DetectionParams params = MakeDetectionParams(settings);
    GlyphTemplateBank bank(zone);
    bank.ScaleTemplates(digitHeight);
    SearchContext context(params.scanModeMask, params.maxArea);
    ScanModes(context, bank);
    return context.candidates;
}

int FixedRecognizer::liveCount = 0;

FixedRecognizer::FixedRecognizer(std::int32_t codeCount, const std::int32_t* codes, bool accept,
                                 std::string reading, std::vector<float> glyphScoresToReport,
                                 float rank, float finalScore)
    : RecognitionClass(codeCount, codes),
      accept_(accept),
      reading_(std::move(reading)),
      scores_(std::move(glyphScoresToReport)),
      rank_(rank),
      finalScore_(finalScore) {
    ++liveCount;
}

FixedRecognizer::~FixedRecognizer() { --liveCount; }

bool FixedRecognizer::Recognize(const GlyphTemplateBank&, const CandidateRegion& region) {
    seenRegion = region;
    if (!accept_) {
        return false;
    }
    status = 1;
    text = reading_;
    glyphScoreCount = static_cast<std::int32_t>(scores_.size());
    for (std::size_t i = 0; i < scores_.size() && i < kMaxGlyphScores; ++i) {
        glyphScores[i] = scores_[i];
    }
    rankValue = rank_;
    score = finalScore_;
    return true;
}

RecognitionResult MakeReading(const std::string& text, int x, int y, int width, int height,
                              float rankValue, float score, int typeCode) {
    RecognitionResult r;
    std::memset(&r, 0, sizeof r);
    r.typeCode = typeCode;
    std::strncpy(r.text, text.c_str(), kResultTextSize - 2);
    r.x = x;
    r.y = y;
    r.width = width;
    r.height = height;
    r.rankValue = rankValue;
    r.score = score;
    return r;
}

std::vector<GlyphHit> HitsAt(const std::vector<cv::Point>& corners, int w, int h) {
    std::vector<GlyphHit> hits;
    for (const cv::Point& p : corners) {
        hits.emplace_back(p.x, p.y, w, h);
    }
    return hits;
}

bool Contains(const CandidateRegion& outer, const cv::Rect& inner) {
    return outer.x <= inner.x && outer.y <= inner.y &&
           inner.x + inner.width <= outer.x + outer.width &&
           inner.y + inner.height <= outer.y + outer.height;
}

}  // namespace kalvero::testing
