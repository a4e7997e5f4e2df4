#pragma once
#include <vector>

#include <opencv2/core.hpp>

#include "recognition_common/Reading.h"
#include "recognition_common/RecognitionEngine.h"

namespace kalvero {

// What the run loop asks of an engine: the readings of one zone, best
// first. Each engine has its own implementation in its own library
// (GlyphZoneReader in detection/, LearnedZoneReader in line_reader/); the
// worker makes the one the settings name (MakeZoneReader), so the loop never
// knows which it holds and neither engine knows of the other.
//
// Threads: a reader is used by one thread at a time (the learned one reads
// with its run block's network).
class ZoneReader {
public:
    virtual ~ZoneReader() = default;

    // The engine whose readings Read gives (and that each Reading names).
    virtual RecognitionEngine engine() const = 0;

    // The readings of `zone` (8-bit grey or BGR, any size, possibly empty)
    // at the operator's digit height: for the glyph engine the height of
    // its scaled templates, for the learned engine a hint (0: none). A zone
    // or height the engine cannot read gives no reading. Never throws for
    // bad input.
    virtual std::vector<Reading> Read(const cv::Mat& zone, int digitHeight) = 0;
};

}  // namespace kalvero
