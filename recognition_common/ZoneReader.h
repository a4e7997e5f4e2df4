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

    // Whether ReadInSequence makes use of the next frame's zone when reading
    // at this digit height (the run loop then looks ahead for it).
    virtual bool ReadsAhead(int digitHeight) const {
        (void)digitHeight;
        return false;
    }

    // The readings of `zone`, frame `index` of a run, with `next` the zone of
    // the frame after it cut from the same place (empty when not known):
    // an engine may read a video's frames together. `aheadMs` is set to the
    // milliseconds the call spent on the next frame's behalf. By default
    // Read, with nothing ahead.
    virtual std::vector<Reading> ReadInSequence(const cv::Mat& zone, long long index, const cv::Mat& next,
                                                int digitHeight, double& aheadMs) {
        (void)index;
        (void)next;
        aheadMs = 0.0;
        return Read(zone, digitHeight);
    }

    // The frames read so far are no longer the ones before the next (a new
    // zone or settings): ReadInSequence starts afresh.
    virtual void ForgetSequence() {}
};

}  // namespace kalvero
