#pragma once
#include <cstdint>

namespace kalvero {

// The glyph reader's fixed record layout: room for 100 per-glyph scores and
// a text field of 101 bytes, of which at most 99 characters are stored.
constexpr int kMaxGlyphScores = 100;
constexpr int kResultTextSize = 101;

// One accepted reading, copied by value from the dispatch to the detector.
// Value-initialise it (RecognitionResult r{};) so every byte starts at zero.
struct RecognitionResult {
    std::int32_t typeCode;
    std::int32_t glyphScoreCount;
    char text[kResultTextSize];
    char reservedText[kResultTextSize];
    float glyphScores[kMaxGlyphScores];
    float rankValue;
    float score;
    std::int32_t x;
    std::int32_t y;
    std::int32_t width;
    std::int32_t height;
    std::uint8_t reserved[8];
};

}  // namespace kalvero
