#pragma once
#include <opencv2/core.hpp>

namespace kalvero {

// Mask (8-bit, 255 ink, anti-aliased) of digit 0-9 painted by hand with a
// brush, `height` pixels high: each stroke follows our own skeleton of the
// digit with its control points wobbled, the whole digit slanted a little,
// and the brush width swelling and thinning along the stroke. `rng` draws
// all of it, so two calls give two different digits; the same RNG state
// gives the same digit. Cropped to the ink; empty for a digit outside 0-9
// or a height below 6.
cv::Mat DrawHandDigit(int digit, int height, cv::RNG& rng);

}  // namespace kalvero
