#pragma once
#include <atomic>
#include <string>

#include <opencv2/core.hpp>

#include "app/Options.h"
#include "worker/FrameSink.h"

class QLabel;
class QTextEdit;

namespace kalvero {

class RecognitionTrace;

// Control block shared by the GUI thread and the worker: run flags, overlay
// font settings, the worker body and the frame overlays.
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

    // Window worker body: plays options.fileName into the monitor label and
    // the console (defined with the window's adapter).
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
};

}  // namespace kalvero
