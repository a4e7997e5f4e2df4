#pragma once
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

// Grime and graffiti over parts of painted digits, drawn on the painted
// side (32-bit float grey) after the digits, with `digitBoxes` the digits'
// boxes in side pixels and `paint` the grey of the paint around them.
// Each digit keeps most of its strokes, so a person still reads it: dirt
// covers at most about a third of a digit, softly, and a spray stroke is
// thinner than a digit stroke and crosses a few digits at most.
void AddDirtOverDigits(cv::Mat& grey, const std::vector<cv::Rect2d>& digitBoxes, double paint, cv::RNG& rng);
void AddGraffitiOverDigits(cv::Mat& grey, const std::vector<cv::Rect2d>& digitBoxes, cv::RNG& rng);

}  // namespace kalvero
