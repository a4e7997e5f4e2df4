#pragma once
#include <vector>

#include <opencv2/core.hpp>

#include "line_reader/LineReader.h"
#include "line_reader/LineReaderSettings.h"
#include "line_reader/ReadLines.h"

namespace kalvero {

// Reads the frames of a video in pairs at about the cost of one
// whole-frame search and a few strips, instead of two whole-frame searches,
// with no frame reported later than it is read.
//
// Asked for frame f with the zone of frame f+1 beside it, it searches f+1
// whole (ReadLineReadings, kept for the call that asks for f+1) and reads
// in f only the places where a number was read in f-1 or in f+1
// (TrackedStrips): a carriage moves a fraction of its number's width
// between frames, so a number whole in f is found in one of its neighbours
// unless it is visible on f alone. Each strip is read with ReadLineReadings
// at the digit height its reading had. The call that asks for f+1 then gives
// the readings already made; the one after asks for f+2 with f+3 beside it.
// Without a next frame (the last one, or a source that cannot look ahead)
// a frame is searched whole. Readings and boxes are in the zone's pixels, as
// ReadLineReadings gives them.
//
// The zones of one sequence have one size and come from the same place of
// their frames; Forget starts a new sequence (a new zone, a new video).
// Used by one thread at a time, with `reader` used by it alone.
class FramePairReader {
public:
    FramePairReader(LineReader& reader, LineReaderSettings settings)
        : reader_(reader), settings_(std::move(settings)) {}

    // The readings of `zone`, frame `index` of the sequence, with `next` the
    // zone of frame index + 1 (empty when not known). `aheadMs` is set to
    // the milliseconds this call spent on the next frame's behalf (its
    // whole search), 0 when none.
    std::vector<LineReading> Read(const cv::Mat& zone, long long index, const cv::Mat& next, double& aheadMs);

    // Forgets the frames read so far: the next call starts a new sequence.
    void Forget();

    // The settings every search is made with (digitHeight 0: any height).
    LineReaderSettings& settings() { return settings_; }

private:
    struct Searched {
        long long index = -1;  // -1: none
        cv::Size size;         // of the zone searched
        std::vector<LineReading> readings;
    };
    // The readings of `zone` in the strips around `around`'s boxes.
    std::vector<LineReading> ReadStrips(const cv::Mat& zone, const std::vector<LineReading>& around);

    LineReader& reader_;
    LineReaderSettings settings_;
    Searched previous_;  // the last frame searched whole and handed out
    Searched ahead_;     // the next frame, searched whole, not yet asked for
};

// The places of `zone` worth reading in a frame next to one in which the
// readings `around` were made: each reading's box widened by its own width
// on both sides (the carriage's travel between frames) and by three
// quarters of its height above and below, clipped to the zone. Each comes
// with the digit height to look for there: the box height less the rise of
// a tilted line over its width. Strips that overlap and whose heights are
// within a factor 1.5 (the band a height search accepts) are merged into one
// box around both, at the mean of their heights, until no two such remain;
// in order of the readings. An empty zone gives none.
struct TrackedStrip {
    cv::Rect box;
    int digitHeight = 0;
};
std::vector<TrackedStrip> TrackedStrips(const std::vector<LineReading>& around, cv::Size zone);

}  // namespace kalvero
