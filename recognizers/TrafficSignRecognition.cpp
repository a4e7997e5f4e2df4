// SCAFFOLD: replaced by the speed-limit sign reader.
#include "recognizers/TrafficSignRecognition.h"
namespace kalvero {
TrafficSignRecognition::TrafficSignRecognition(std::int32_t c, const std::int32_t* l)
    : RecognitionClass(c, l) {}
bool TrafficSignRecognition::Recognize(const GlyphTemplateBank&, const CandidateRegion&) { return false; }
}  // namespace kalvero
