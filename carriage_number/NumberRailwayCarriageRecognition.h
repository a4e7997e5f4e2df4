#pragma once
#include "recognizers/RecognitionClass.h"

namespace kalvero {

// Reads the digits of a carriage number inside one candidate region.
class NumberRailwayCarriageRecognition : public RecognitionClass {
public:
    NumberRailwayCarriageRecognition(std::int32_t codeCount, const std::int32_t* codes);
    bool Recognize(const GlyphTemplateBank& bank, const CandidateRegion& region) override;
};

}  // namespace kalvero
