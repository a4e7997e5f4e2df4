#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "carriage_number/DigitCandidate.h"

namespace kalvero {

class RecognitionClass;

// Longest digit text an assembly writes: what a reading's text field holds
// besides its two reserved bytes.
constexpr std::size_t kMaxAssembledDigits = 99;

// Turns the digits matched in one strip into the text of a carriage number:
// orders them by x, removes double hits, inserts a digit 1 at every profile
// position that sits in a gap between digits or just before the first or
// after the last one, and writes the text to `digits`. A text of 3 to 10
// digits with at least 3 different digits is accepted: the reading's status,
// text, score and rank value are set. Otherwise status is -1 and `digits`
// is emptied. Returns the number of digits assembled either way.
// `candidates` is reordered and edited in place; `positions` must ascend.
int AssembleNumber(std::vector<DigitCandidate>& candidates, std::vector<std::int32_t> positions,
                   int glyphWidth, std::string& digits, RecognitionClass& reading);

}  // namespace kalvero
