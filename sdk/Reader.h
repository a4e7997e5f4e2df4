#pragma once
#include <atomic>
#include <memory>
#include <string>

#include <opencv2/core.hpp>

#include "FrameResult.h"
#include "Options.h"
#include "cli/PassTracker.h"
#include "line_reader/LineReader.h"
#include "recognition_common/ZoneReader.h"
#include "worker/ResultVoteBuffer.h"
#include "worker/StreakConfirmation.h"

// A reader of one sequence of frames: the run loop's per-frame path
// (VideoThread::Run with the reader's settings, no zoom, no overlays) over
// frames its caller hands in, with kalvero-read's pass tracker behind it.
struct kalvero_reader {
    kalvero_options options;
    int digitHeight = 0;          // as the engines are handed it
    bool checkDigitVote = true;   // the vote's check-digit rule for the engine
    std::unique_ptr<kalvero::LineReader> network;  // the learned engine's, else null
    std::unique_ptr<kalvero::ZoneReader> zoneReader;
    std::unique_ptr<kalvero::ResultVoteBuffer> vote;
    std::unique_ptr<kalvero::StreakConfirmation> streaks;
    std::unique_ptr<kalvero::PassTracker> tracker;
    int frameNumber = 0;
    // Raised while a thread is inside the reader: a second one is refused.
    std::atomic<bool> busy{false};
};

namespace kalvero::sdk {

// Starts the reader's sequence afresh: vote, streaks, passes, frame count.
void StartSequence(kalvero_reader& reader);

// Reads one BGR frame of the sequence into `result` (the frame checked
// against the zone first). Returns KALVERO_OK or a status with the message.
int ReadNextFrame(kalvero_reader& reader, const cv::Mat& frame, double timestampSeconds, kalvero_frame& result);

}  // namespace kalvero::sdk
