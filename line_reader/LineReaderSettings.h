#pragma once
#include <functional>
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

// Boxes of candidate number regions found in a zone at a digit height, in
// zone pixels (the glyph search's regions: the engine does not search for
// them itself, the worker hands it the glyph engine's function).
using RegionBoxSource = std::function<std::vector<cv::Rect>(const cv::Mat& zone, int digitHeight)>;

// Argument of the learned engine's per-zone entry (ReadLines).
struct LineReaderSettings {
    // Expected digit height in zone pixels. The engine measures the real
    // height of the digits it finds, so a value off by up to 30 % still
    // reads. 0 (the default): not known, every height from 10 to 250
    // pixels is searched. Negative, 1 to 3, or above twice the zone's
    // larger side: no reading.
    int digitHeight = 0;
    // Also read the regions of `glyphRegions` as lines, when it is given. It
    // costs a glyph search per call (about 2-3 ms on a 390 x 90 zone), hence
    // off by default.
    bool useGlyphRegions = false;
    RegionBoxSource glyphRegions;
    // Most lines read per zone (all in one forward pass): the best ranked
    // proposals are kept. Bounds the time of a cluttered zone.
    int maxLines = 6;
    // Keep only readings whose check digit holds (CheckDigitHolds): under
    // the check-digit rule a reading that fails it is no carriage number
    // but a misread one, and it is dropped before readings of the same
    // place compete, so that a crop that read right wins over one that
    // did not. Off: every 8-digit reading (rolling stock numbered
    // otherwise).
    bool requireCheckDigit = false;
};

}  // namespace kalvero
