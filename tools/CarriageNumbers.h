#pragma once
#include <string>

#include <opencv2/core.hpp>

namespace kalvero {

// Check digit that completes the first seven digits of a carriage number:
// the digits are weighted 2,1,2,1,2,1,2, the digits of the products are
// added (14 counts 1 + 4), and the check digit brings the sum to a multiple
// of ten. Returns -1 unless `firstSeven` is exactly seven decimal digits.
// (The reader has its own copy in cli/; the tools do not depend on cli/.)
int CarriageCheckDigit(const std::string& firstSeven);

// True for eight decimal digits whose last one is the check digit of the
// first seven.
bool CarriageNumberHolds(const std::string& number);

// A random valid eight-digit carriage number. Ones are drawn far more often
// than other digits, in the first and last place too, because narrow ones
// are what readers most often miss or invent.
std::string RandomCarriageNumber(cv::RNG& rng);

// `length` random decimal digits, no check digit, ones drawn as often as in
// RandomCarriageNumber.
std::string RandomDigitGroup(cv::RNG& rng, int length);

}  // namespace kalvero
