#include "recognizers/RecognitionClass.h"

namespace kalvero {

RecognitionClass::RecognitionClass(std::int32_t count, const std::int32_t* list)
    : codeCount(count) {
    if (count > 0 && list != nullptr) {
        codes.assign(list, list + count);
    } else {
        codeCount = count > 0 ? 0 : count;
    }
}

std::string RecognitionClass::GetText() const { return status >= 0 ? text : std::string(); }

float RecognitionClass::GetGlyphScore(std::int32_t index) const {
    if (index >= 0 && index < glyphScoreCount && index < kMaxGlyphScores) {
        return glyphScores[index];
    }
    return -100.0f;
}

}  // namespace kalvero
