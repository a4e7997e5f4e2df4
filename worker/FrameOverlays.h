#pragma once
#include <atomic>
#include <string>

#include <opencv2/core.hpp>

#include "worker/RunPlan.h"

namespace kalvero {

// The operator's aids drawn onto a frame, with the font they are drawn in:
// the zone check with its "out of frame" warning, the zone rectangle, the
// digit-height sample and PutText. They are members rather than free
// functions because the window and the worker speak of them as operations
// of the VideoThread block (which derives from this) and because the zone
// check changes the block's fontScale, which the run loop then draws with.
//
// Threads: fontScale is written by whichever thread runs zoneFits or
// drawZoneBox (the worker during a run, the GUI thread on the preview) and
// read by the worker each frame, hence atomic. fontFace and thickness are
// fixed after construction.
class FrameOverlays {
public:
    int fontFace = 0;  // cv::FONT_HERSHEY_SIMPLEX
    std::atomic<double> fontScale{1.0};
    int thickness = 3;
    // A zone that does not fit is clipped to the frame without a word on
    // it: no warning painted, no larger font (kalvero-read's streams, whose
    // frame size is known only once they send; the window keeps warning).
    std::atomic<bool> clipZoneQuietly{false};

    // True when the plan's zone lies within the frame; draws nothing.
    static bool zoneWithin(const cv::Mat& frame, const RunPlan& plan);

    // True when the plan's zone lies within the frame; otherwise writes the
    // warning onto the frame, doubles fontScale and returns false.
    bool zoneFits(cv::Mat& frame, const RunPlan& plan);
    // The plan's zone rectangle in green (the warning instead when it does
    // not fit).
    void drawZoneBox(cv::Mat& frame, const RunPlan& plan);
    // Eight digits "5" at the plan's digit height.
    void drawNumberHSample(cv::Mat& frame, const RunPlan& plan);
    // Stretches `text` over `roi` and copies only its strokes onto `img`
    // (8-bit, one or three channels). Violated preconditions raise OpenCV
    // assertion errors naming "VideoThread::PutText".
    void PutText(cv::Mat& img, const std::string& text, cv::Rect roi, cv::Scalar color, int fontFace,
                 double fontScale, int thickness, int lineType);
};

}  // namespace kalvero
