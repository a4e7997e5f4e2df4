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

    // How many frames after frame `index` ReadInSequence will make use of
    // when it reads that frame at this digit height (the run loop looks
    // ahead for them; an engine that has what it needs asks for none).
    virtual int FramesAhead(long long index, int digitHeight) const {
        (void)index;
        (void)digitHeight;
        return 0;
    }

    // The readings of `zone`, frame `index` of a run, with `ahead` the zones
    // of the frames after it cut from the same place, nearest first (as many
    // as the source has at hand, up to FramesAhead): an engine may read a
    // video's frames together. `frameMs` is set to the milliseconds spent
    // on this frame, work done for it by an earlier call included and work
    // done now for a later frame left out. By default Read, timed.
    virtual std::vector<Reading> ReadInSequence(const cv::Mat& zone, long long index,
                                                const std::vector<cv::Mat>& ahead, int digitHeight,
                                                double& frameMs);

    // The frames read so far are no longer the ones before the next (a new
    // zone or settings): ReadInSequence starts afresh.
    virtual void ForgetSequence() {}
};

}  // namespace kalvero
