#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "recognizers/CandidateRegion.h"
#include "recognizers/RecognitionClass.h"
#include "recognizers/RecognitionResult.h"

namespace kalvero {

struct GlyphTemplateBank;
class RecognitionTrace;

// The recogniser the dispatch would create for a region type code, or null
// when the code names none (codes <= 1, 2..99 and 101..299).
std::unique_ptr<RecognitionClass> CreateRecognizer(std::int32_t typeCode, std::int32_t codeCount,
                                                   const std::int32_t* codes);

// Holder of the readings of one candidate region.
class RecognitionContext {
public:
    RecognitionContext(std::int32_t codeCount, const std::int32_t* codes);

    // Creates the recogniser for the region's type code, lets it read the
    // region, filters the reading and records it (zero or one reading).
    void DispatchRegion(const GlyphTemplateBank& bank, const CandidateRegion& region);

    // The reading half of DispatchRegion with a recogniser chosen by the
    // caller: lets it read a copy of the region, filters the reading (full
    // number rule, limits of the result record) and records it. The
    // recogniser is destroyed before the call returns.
    void ReadWith(std::unique_ptr<RecognitionClass> recognizer, const GlyphTemplateBank& bank,
                  const CandidateRegion& region);

    std::size_t ReadingCount() const { return resultCodes.size(); }

    // Observer handed to the recogniser; null when nobody asks.
    void SetTrace(RecognitionTrace* trace) { trace_ = trace; }

    std::int32_t codeCount = 0;
    std::vector<std::int32_t> codes;
    bool requireFullNumber = false;
    std::vector<std::int32_t> resultCodes;
    std::vector<std::string> resultTexts;
    std::vector<RecognitionResult> results;

private:
    RecognitionTrace* trace_ = nullptr;
};

}  // namespace kalvero
