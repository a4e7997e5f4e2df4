#pragma once
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

// The boxes of the glyph search's candidate regions in `zone` (the built-in
// glyph templates scaled to `digitHeight`, scan modes 1 and 3), clipped to
// the zone, in the search's order. `zone` is 8-bit grey or BGR; a zone that
// cannot hold a scaled template, or a digit height below 4, gives none.
// Costs a whole glyph search (a few milliseconds on a 390 x 90 zone, one
// thread). The learned engine can read these as extra lines: the worker
// hands this function to it (LineReaderSettings::glyphRegions).
std::vector<cv::Rect> GlyphRegionBoxes(const cv::Mat& zone, int digitHeight);

}  // namespace kalvero
