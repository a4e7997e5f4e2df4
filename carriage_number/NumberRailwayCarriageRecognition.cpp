// SCAFFOLD: replaced by the carriage-number reader.
#include "carriage_number/NumberRailwayCarriageRecognition.h"
namespace kalvero {
NumberRailwayCarriageRecognition::NumberRailwayCarriageRecognition(std::int32_t c, const std::int32_t* l)
    : RecognitionClass(c, l) {}
bool NumberRailwayCarriageRecognition::Recognize(const GlyphTemplateBank&, const CandidateRegion&) { return false; }
}  // namespace kalvero
