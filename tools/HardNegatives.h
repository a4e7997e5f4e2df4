#pragma once
#include <string>

#include <opencv2/core.hpp>

#include "tools/DigitLine.h"
#include "tools/SceneOptions.h"

namespace kalvero {

// The text a carriage side shows for a negative that carries digits: a
// phone number ("8 800 555-35-35", "+7 495 1234567"), a date
// ("12.05.2019"), eight digits whose check digit fails, nine or ten digits,
// or seven digits and a lone one ("5241839 6"). No run of eight
// consecutive digits in it, separators skipped, has a holding check digit.
// Empty for the kinds without digits (none, blank, ladder, grille, rivets).
std::string NegativeMarkingText(SceneNegative kind, cv::RNG& rng);

// True when some eight consecutive digits of `text` (other characters
// skipped) form a number whose check digit holds.
bool HoldsCarriageNumber(const std::string& text);

// True for the negatives painted as a pattern without digits.
bool IsPatternNegative(SceneNegative kind);

// True for the negatives whose marking NegativeMarkingText draws.
bool IsMarkingNegative(SceneNegative kind);

// Paints a marking: its digit runs in `font` and `style`, and between them
// what the text has: a space (`space` digit heights wide), a dash, a dot or
// a plus, drawn as a sign writer paints them. The digit boxes are those of
// every digit, left to right; digits holds the digits alone.
PaintedLine PaintMarking(const DigitFont& font, const std::string& text, const LineStyle& style, double space);

// Ink mask (8-bit, 255 ink) of a pattern negative about `length` pixels
// long whose parts stand `height` pixels high, spaced like digits: a ladder
// (two rails and rungs), a grille (slats in a frame) or rows of rivets and
// short bars. Empty for the other kinds.
cv::Mat DrawPatternMask(SceneNegative kind, double height, double length, cv::RNG& rng);

}  // namespace kalvero
