#pragma once
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "recognition_common/Reading.h"
#include "worker/DamagedGap.h"

namespace kalvero {

// Vote outcome of a frame when the run has no vote buffer (the depth or the
// threshold was refused): nothing is voted and no banner is drawn.
constexpr int kNoVote = -2;

// What the run loop hands out for every frame it reads.
struct FrameReport {
    int frameNumber = 0;              // 1 for the first frame of the run
    double timestampMs = 0.0;         // the source's time of this frame (0 for a still)
    std::optional<std::chrono::system_clock::time_point> wallTime;  // its time of day, when known
    std::optional<DamagedGap> damageBefore;  // frames of the file that failed to decode right before it
    long long skippedBefore = 0;      // a live stream's frames skipped just before this one
                                      // to keep up with it (0 for a file)
    cv::Mat rgbImage;                 // finished frame, RGB order; valid during the call only;
                                      // empty when the sink wants no image
    cv::Mat sourceImage;              // the frame as decoded (BGR, before the zoom and the
                                      // overlays); valid during the call only; empty when
                                      // the sink wants no image
    std::string logLine;              // "Frame #%d: Time recognition: %.3f s"
    float recognitionSeconds = 0.0f;  // the time in the log line (whole milliseconds)
    double recognitionMs = 0.0;       // the same time, to the clock's resolution
    std::vector<Reading> readings;    // best first, boxes in zone coordinates
    RecognitionEngine engine = RecognitionEngine::Glyph;  // the engine that read this frame
    cv::Rect zone;                    // the zone the frame was recognised in (scaled-frame pixels)
    int voteCode = kNoVote;           // ResultVoteBuffer::vote code, or kNoVote
    std::string voted;                // the text given to the vote (may differ from the best
                                      // reading when only numbers whose check digit holds vote)
    std::string confirmed;            // banner text when voteCode == 0, else empty
};

// Receiver of the run loop's output. Called on the worker thread, in frame
// order; an implementation that shows frames elsewhere copies what it keeps.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual void OnFrame(const FrameReport& report) = 0;
    // Asked before each frame is finished: false when nothing will show or
    // write its picture, so the loop draws no overlays, converts no colours
    // and hands out an empty rgbImage.
    virtual bool WantsImage() const { return true; }
    // Asked with WantsImage: the frame as decoded is handed out too
    // (sourceImage). Without a zoom that costs a copy of every frame, as the
    // overlays are drawn over the decoded picture.
    virtual bool WantsSourceImage() const { return false; }
    // A line for the operator that belongs to no frame (the learned engine
    // could not be loaded and the run goes on with the glyph engine).
    virtual void OnNotice(const std::string& /*line*/) {}
    // Called once when the run ends (after the last frame, or at once when
    // the video did not open: then `opened` is false).
    virtual void OnRunEnd(bool /*opened*/) {}
};

}  // namespace kalvero
