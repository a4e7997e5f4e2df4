#pragma once
#include <algorithm>
#include <vector>

#include <opencv2/core.hpp>

#include "line_reader/LineReader.h"
#include "line_reader/LineReaderSettings.h"
#include "line_reader/ReadLines.h"

namespace kalvero {

// A place of a zone to read, and the digit height to look for there (see
// TrackedStrips).
struct TrackedStrip {
    cv::Rect box;
    int digitHeight = 0;
};

// Reads the frames of a video in groups: the last frame of each group is
// searched whole (ReadLineReadings), the others only in strips around what
// the whole searches on either side of them found. No frame is reported
// later than it is read: the frames after the one asked for come with it.
//
// Asked for frame f with no whole search of a later frame at hand, it
// searches frame f + k whole (k the frames ahead it was given, at most
// groupSize - 1; the search is kept for the call that asks for f + k) and
// reads f in strips around the numbers, and the rows the model read as 5
// to 10 digits, found by the whole searches of f + k and of the frame
// before f when that was the last one searched whole (TrackedStrips). The
// frames up to f + k are read the same way from the same two searches; f +
// k gives its own. A carriage moves at most about a fifth of the view a
// frame, so the strips hold every number of f that one of the two searches
// found, each widened by as many of its widths (or fifths of the zone's
// width, when more) as frames lie between. Without any frame ahead (the
// last one, or a source that cannot look ahead) a frame is searched whole.
// A whole search that reads nothing where the whole search before it read
// numbers reads strips around those (widened by the frames between);
// without a height given, one in kFaintEvery of the whole searches that
// still read nothing also gets the faint search over every height
// (ReadFaintLineReadings; with a height given, every whole search that
// reads nothing makes the faint search around it itself). Readings and
// boxes are in the zone's pixels, as ReadLineReadings gives them.
//
// The zones of one sequence have one size and come from the same place of
// their frames; Forget starts a new sequence (a new zone, a new video).
// Used by one thread at a time, with `reader` used by it alone.
class FrameGroupReader {
public:
    // Frames per whole search. Three keep a whole search on every third
    // frame, so that a number whole on three frames in a row (a carriage at
    // 120 km/h crossing a 4 m view at 25 fps) is found by one of them.
    static constexpr int kGroupSize = 3;
    // One in this many whole searches that read nothing is followed by the
    // faint search over every height (ReadFaintLineReadings), the first of
    // a sequence included: at three frames a group, every twelfth frame.
    static constexpr int kFaintEvery = 4;

    FrameGroupReader(LineReader& reader, LineReaderSettings settings, int groupSize = kGroupSize)
        : reader_(reader), settings_(std::move(settings)), groupSize_(std::max(1, groupSize)) {}

    // How many frames after the one asked for Read makes use of: none when
    // a later frame was searched already (the frames up to it are read in
    // strips), else groupSize - 1.
    int FramesAhead(long long index) const { return ahead_.index >= index ? 0 : groupSize_ - 1; }

    // The readings of `zone`, frame `index` of the sequence, with `ahead` the
    // zones of the frames after it, nearest first (any number; those beyond
    // groupSize - 1 and any of another size than `zone`, with all after it,
    // are not used). `frameMs` is set to the milliseconds spent reading this
    // frame, a whole search made for it by an earlier call included and one
    // made now for a later frame left out (that frame's own).
    std::vector<LineReading> Read(const cv::Mat& zone, long long index, const std::vector<cv::Mat>& ahead,
                                  double& frameMs);

    // Forgets the frames read so far: the next call starts a new sequence.
    void Forget();

    // The settings every search is made with (digitHeight 0: any height).
    LineReaderSettings& settings() { return settings_; }
    const LineReaderSettings& settings() const { return settings_; }

private:
    struct Searched {
        long long index = -1;  // -1: none
        cv::Size size;         // of the zone searched
        std::vector<LineReading> readings;
        std::vector<LineReading> rows;  // read as 5 to 10 digits (ReadLineReadings' digitRows)
        double ms = 0.0;                // the search's time
    };
    // A whole search of `zone`, frame `index`; `previous` is the whole
    // search made before it, if any.
    Searched SearchWhole(const cv::Mat& zone, long long index, const Searched* previous);
    // The readings of `zone`, frame `index`, in strips around what the
    // searches `before` (if any) and `after` found.
    std::vector<LineReading> ReadStrips(const cv::Mat& zone, long long index, const Searched* before,
                                        const Searched& after);
    // The readings of `zone` in `strips`, one per place, best first.
    std::vector<LineReading> ReadStrips(const cv::Mat& zone, std::vector<TrackedStrip> strips);

    LineReader& reader_;
    LineReaderSettings settings_;
    int groupSize_;
    Searched last_;   // the last frame searched whole and handed out
    Searched ahead_;  // a later frame, searched whole, not yet asked for
    int searchesSinceFaint_ = kFaintEvery - 1;  // whole searches that read nothing since the last faint one
};

// The places of a `zone` worth reading in a frame `framesApart` frames away
// from one in which the readings `around` were made: each reading's box
// widened on both sides by framesApart times the larger of its own width
// and a fifth of the zone's width (the carriage's travel), and by three
// quarters of its height above and below, clipped to the zone. Each comes
// with the digit height to look for there: the box height less the rise of
// a tilted line over its width. In order of the readings; not merged. An
// empty zone gives none.
std::vector<TrackedStrip> TrackedStrips(const std::vector<LineReading>& around, cv::Size zone, int framesApart = 1);

// Strips that overlap and whose heights are within a factor 1.5 (the band
// one height search covers) merged into one box around both, at the mean of
// their heights, until no two such remain; the rest in order.
std::vector<TrackedStrip> MergeStrips(std::vector<TrackedStrip> strips);

}  // namespace kalvero
