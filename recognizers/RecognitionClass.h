#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "recognizers/CandidateRegion.h"
#include "recognizers/RecognitionResult.h"

namespace kalvero {

struct GlyphTemplateBank;
class RecognitionTrace;

// Abstract recogniser: reads one candidate region. One object per region,
// created and destroyed by the dispatch.
class RecognitionClass {
public:
    RecognitionClass(std::int32_t codeCount, const std::int32_t* codes);
    virtual ~RecognitionClass() = default;

    RecognitionClass(const RecognitionClass&) = delete;
    RecognitionClass& operator=(const RecognitionClass&) = delete;

    // Reads the region. Returns true exactly when status >= 0 afterwards.
    virtual bool Recognize(const GlyphTemplateBank& bank, const CandidateRegion& region) = 0;

    // The reading when status >= 0, otherwise the empty text.
    std::string GetText() const;
    // glyphScores[index] for 0 <= index < glyphScoreCount, otherwise -100.
    float GetGlyphScore(std::int32_t index) const;

    // Observer for explanations; null when nobody asks.
    void SetTrace(RecognitionTrace* trace) { trace_ = trace; }

    std::int32_t codeCount = 0;
    std::vector<std::int32_t> codes;
    std::int32_t status = -1;
    std::string text;
    std::int32_t glyphScoreCount = 0;
    float glyphScores[kMaxGlyphScores] = {};
    float rankValue = 0.0f;
    float score = 0.0f;

protected:
    RecognitionTrace* trace_ = nullptr;
};

}  // namespace kalvero
