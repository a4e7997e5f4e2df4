#pragma once
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "cli/CarriagePass.h"
#include "worker/FrameSink.h"

namespace kalvero {

// What one frame tells the pass tracker: the text the frame gave to the vote
// (empty when none), that reading's box and score, and whether the vote
// confirmed that text in this frame.
struct PassFrame {
    int frame = 0;
    double seconds = 0.0;
    std::optional<TimeOfDay> wallTime;  // the frame's time of day, when known
    std::optional<DamagedSpan> damageBefore;  // frames lost to damage right before it
    std::string text;
    cv::Rect box;         // scaled-frame pixels
    float score = 0.0f;
    bool confirmed = false;
    cv::Mat image;        // the frame as decoded (BGR, before the zoom and the overlays)
                          // when the run keeps pictures, else empty
    cv::Size scaledSize;  // the size of the frame `box` is in (after the zoom)
};

// The part of `image` around `box`: the box grown by half its height left
// and right, a sixth above and a third below, clipped to the image; a copy.
// Empty when nothing of it is inside.
cv::Mat CutAround(const cv::Mat& image, const cv::Rect& box);

// `box` of a frame of `scaledSize` in the pixels of the same frame at
// `sourceSize` (the zoom undone); `box` itself when either size is empty.
cv::Rect ToSourcePixels(const cv::Rect& box, cv::Size scaledSize, cv::Size sourceSize);

// The tracker's view of a run-loop frame: the voted text's reading (the
// first entry carrying it) with the zone origin added to its box, and the
// frame as decoded (a header sharing the report's, valid while it lasts).
PassFrame PassFrameFrom(const FrameReport& report);

// Cuts a run's frames into carriage passes.
//
// A number's pass runs from the first to the last frame that read it. It
// ends when more than `depth` frames (the vote depth) in a row do not read
// it, or when another number that was first read after its last reading is
// confirmed (another carriage came between). A pass that never was
// confirmed is dropped: a stray misreading inside another carriage makes no
// pass. Reading the number again after its pass ended starts a new one.
// Frames lost to damage between two frames of a pass are listed with it
// (CarriagePass::damaged); they do not count towards the depth either: the
// depth counts frames read.
class PassTracker {
public:
    PassTracker(std::string file, int depth);

    // Takes the next frame (frame numbers rising); returns the passes that
    // ended before or with it, in the order of their first frame.
    std::vector<CarriagePass> AddFrame(const PassFrame& frame);

    // Ends the input: returns every pass still open, by first frame.
    std::vector<CarriagePass> Finish();

    // The best frame's picture of each pass is kept as CutAround of its box
    // in the frame as decoded, at the source's resolution, in RGB order.

    // Box movement over a pass below this share of the box width counts as
    // standing still (jitter of the box edges is a few pixels).
    static constexpr double kStillShare = 0.25;

private:
    struct Track {
        CarriagePass pass;
        bool confirmed = false;
        std::vector<std::pair<int, double>> centres;  // (frame, box centre x)
    };
    std::vector<CarriagePass> Close(const std::vector<std::size_t>& which);

    std::string file_;
    int depth_;
    std::vector<Track> open_;
    std::vector<DamagedSpan> gaps_;  // damage since the earliest last frame of the open passes
};

// The direction of travel from the box centres of a pass: the least-squares
// slope of centre x over frame number, carried over the pass, against
// kStillShare of `boxWidth`.
TravelDirection DirectionOf(const std::vector<std::pair<int, double>>& centres, double boxWidth);

}  // namespace kalvero
