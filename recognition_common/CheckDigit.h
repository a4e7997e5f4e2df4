#pragma once
#include <string>

namespace kalvero {

// Check digit of an 8-digit carriage number of the 1520 mm railways: the
// first seven digits are multiplied by 2, 1, 2, 1, 2, 1, 2, the digits of
// the products are added (14 counts as 1 + 4), and the check digit brings
// that sum up to the next multiple of ten (0 when it already is one).

// The check digit for seven leading digits, or -1 when `firstSeven` is not
// exactly seven decimal digits.
int ComputeCheckDigit(const std::string& firstSeven);

// True when `number` is eight decimal digits whose last one is the check
// digit of the first seven. Any other text (a different length, a
// non-digit) fails.
bool CheckDigitHolds(const std::string& number);

}  // namespace kalvero
