#pragma once
#include <cstdint>

namespace kalvero {

// One digit matched in a strip of a carriage-number region: which digit,
// where its glyph box starts (strip columns) and how well it matched.
struct DigitCandidate {
    std::int32_t digit = 0;
    std::int32_t x = 0;
    double score = 0.0;       // normalised cross-correlation of the glyph, 0..1
    double confidence = 0.0;  // score mapped so that 0.67 -> 0.5 and 1.0 -> 1.0
};

static_assert(sizeof(DigitCandidate) == 24, "DigitCandidate is a 24-byte record");

// Maps a template-match score to the candidate's confidence.
inline double MatchConfidence(double score) { return (score - 0.67) * 0.5 / 0.33 + 0.5; }

}  // namespace kalvero
