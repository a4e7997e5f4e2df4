#include "detection/SearchContext.h"

namespace kalvero {

SearchContext::SearchContext(std::int32_t mask, double largestArea)
    : scanModeMask(mask), minArea(0.03 * largestArea), maxArea(largestArea) {}

}  // namespace kalvero
