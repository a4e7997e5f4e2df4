#pragma once
#include <atomic>
#include <string>

#include <opencv2/core.hpp>

#include "app/Options.h"
#include "worker/FrameOutbox.h"
#include "worker/FrameSink.h"

class QLabel;
class QTextEdit;

namespace kalvero {

class RecognitionTrace;

// Control block shared by the GUI thread and the worker: run flags, overlay
// font settings, the worker body and the frame overlays.
//
// Threads: the GUI thread writes isPaused, stopRequest, optionsChanged,
// drawNumberH and drawZone; the worker raises isRunning and pauseEntered,
// clears optionsChanged and stopRequest and may raise drawZone. New Options
// values are stored before optionsChanged is raised (release) and read by
// the worker after it has seen the flag (acquire).
class VideoThread {
public:
    std::atomic<bool> isPaused{false};
    std::atomic<bool> isRunning{false};
    std::atomic<bool> optionsChanged{false};
    std::atomic<bool> drawNumberH{false};
    std::atomic<bool> drawZone{false};
    std::atomic<bool> stopRequest{false};
    int fontFace = 0;                      // cv::FONT_HERSHEY_SIMPLEX
    std::atomic<double> fontScale{1.0};
    int thickness = 3;

    // Raised by the worker while it holds before a frame because of the
    // pause, cleared when it goes on. Lets the window and tests see that the
    // pause has taken effect.
    std::atomic<bool> pauseEntered{false};

    // Frames of the window's runs waiting for the GUI thread (filled by run,
    // emptied by the window's display timer).
    FrameOutbox outbox;

    // The pause re-tests isPaused after this long when nothing ends it.
    static constexpr int kPausePollMs = 1000;

    // Window worker body: plays options.fileName into the monitor label and
    // the console. Runs on the worker thread; never touches the widgets
    // itself but hands their frames and lines to `outbox` (see
    // QtFrameSinkQt.h). Defined with the window's adapter.
    void run(QLabel& monitor, QTextEdit& console, Options& options);

    // The run loop itself, free of Qt: every frame goes to `sink`. `trace`
    // observes recognition when non-null.
    void Run(FrameSink& sink, Options& options, RecognitionTrace* trace = nullptr);

    // Frame overlays.
    bool zoneFits(cv::Mat& frame, const Options& options);
    void drawZoneBox(cv::Mat& frame, const Options& options);
    void drawNumberHSample(cv::Mat& frame, const Options& options);
    void PutText(cv::Mat& img, const std::string& text, cv::Rect roi, cv::Scalar color,
                 int fontFace, double fontScale, int thickness, int lineType);

private:
    // Holds while isPaused is set: re-tests it every kPausePollMs, waking
    // early (in short steps) when the pause is cleared or a stop is
    // requested, so that closing the window never waits on a pause.
    void waitWhilePaused();
};

}  // namespace kalvero
