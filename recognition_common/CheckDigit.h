#pragma once
#include <array>
#include <string>
#include <vector>

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

// The chance that `number` is the number painted, given that the painted
// one is eight digits whose check digit holds and the reader's chances for
// each place: `choices[i][d]`, the chance that place i shows digit d (a row
// may sum to less than 1; it is taken relative to its sum). It is the
// product of the chances of `number`'s digits over the sum of that product
// for every number whose check digit holds. A single doubtful place is
// settled by the check digit (a change of any one digit breaks it), two are
// narrowed to the pairs that keep it. 0 when `number` fails the check, when
// `choices` does not have eight rows or a row has no positive chance.
double CheckDigitPosterior(const std::string& number, const std::vector<std::array<float, 10>>& choices);

}  // namespace kalvero
