#pragma once
#include <opencv2/core.hpp>

#include "app/FrameOutbox.h"
#include "worker/FrameSink.h"

class QLabel;
class QTextEdit;

namespace kalvero {

// The window's adapter on the run loop. On the worker thread it copies each
// finished frame and its log line into a FrameOutbox, addressed to the
// monitor label and the console; it never touches a widget and never waits
// for the GUI thread. The GUI thread moves them onto the widgets with
// DeliverFrames. (Qt's own cross-thread event posting is deliberately not
// used: everything that crosses threads goes through the outbox's lock.)
class QtFrameSink : public FrameSink {
public:
    QtFrameSink(QLabel& monitor, QTextEdit& console, FrameOutbox& outbox);
    void OnFrame(const FrameReport& report) override;
    // The line goes to the console, after the frames posted before it.
    void OnNotice(const std::string& line) override;

private:
    QLabel& monitor_;
    QTextEdit& console_;
    FrameOutbox& outbox_;
};

// GUI thread: appends the line of every frame waiting in `outbox` to its
// console, in posting order, and shows the waiting image (the newest; the
// outbox keeps no other) on its monitor, so that each delivery converts at
// most one picture. Returns the number of entries taken.
std::size_t DeliverFrames(FrameOutbox& outbox);

// GUI thread: shows an 8-bit RGB image on the label, scaled to the label's
// current height with the fast transformation (width following the aspect
// ratio).
void ShowRgbFrame(QLabel& monitor, const cv::Mat& rgb);

// GUI thread: shows an 8-bit BGR image the same way (the image itself is
// left alone). Both scale first, so only the shown size is converted.
void ShowBgrFrame(QLabel& monitor, const cv::Mat& bgr);

}  // namespace kalvero
