#pragma once
#include <opencv2/core.hpp>

namespace kalvero {

// Rain or snow between the camera and the carriage, drawn on a 32-bit float
// picture (1 or 3 channels, grey levels 0..255): the air's haze pulls every
// pixel towards a light grey by `haze` (0..1, lower contrast), then streaks
// (rain, slanted by `slant` degrees from the vertical) or flakes (snow) are
// drawn from `rng`, so each frame gets its own.
void AddRain(cv::Mat& image, double haze, double slant, cv::RNG& rng);
void AddSnow(cv::Mat& image, double haze, cv::RNG& rng);

}  // namespace kalvero
