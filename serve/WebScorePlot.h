#pragma once
#include <string>
#include <utility>
#include <vector>

namespace kalvero {

// An inline SVG plot of a pass's scores: frame along, score up (0 to 1, or
// to the highest score when one is above 1), a line through the points and
// a dot at each. A short note in place of the plot when there are none.
std::string ScorePlotSvg(const std::vector<std::pair<int, float>>& scores);

}  // namespace kalvero
