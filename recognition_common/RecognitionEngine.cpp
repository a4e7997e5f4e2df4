#include "recognition_common/RecognitionEngine.h"

namespace kalvero {

const char* EngineName(RecognitionEngine engine) {
    return engine == RecognitionEngine::Learned ? "learned" : "glyph";
}

std::optional<RecognitionEngine> EngineFromName(const std::string& name) {
    if (name == "glyph") return RecognitionEngine::Glyph;
    if (name == "learned") return RecognitionEngine::Learned;
    return std::nullopt;
}

}  // namespace kalvero
