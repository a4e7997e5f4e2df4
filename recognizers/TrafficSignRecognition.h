#pragma once
#include "recognizers/RecognitionClass.h"

namespace kalvero {

// Reads the value of a speed-limit sign inside a region of type code 100.
class TrafficSignRecognition : public RecognitionClass {
public:
    TrafficSignRecognition(std::int32_t codeCount, const std::int32_t* codes);
    bool Recognize(const GlyphTemplateBank& bank, const CandidateRegion& region) override;
};

}  // namespace kalvero
