#pragma once
#include <string>

#include <opencv2/core.hpp>

namespace kalvero {

// Check digits are those of recognition_common/CheckDigit.h (ComputeCheckDigit,
// CheckDigitHolds).

// A random valid eight-digit carriage number. Ones are drawn far more often
// than other digits, in the first and last place too, because narrow ones
// are what readers most often miss or invent.
std::string RandomCarriageNumber(cv::RNG& rng);

// `length` random decimal digits, no check digit, ones drawn as often as in
// RandomCarriageNumber.
std::string RandomDigitGroup(cv::RNG& rng, int length);

}  // namespace kalvero
