#include "app/QtFrameSink.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QString>
#include <QTextEdit>

namespace kalvero {

QtFrameSink::QtFrameSink(QLabel& monitor, QTextEdit& console, FrameOutbox& outbox)
    : monitor_(monitor), console_(console), outbox_(outbox) {}

void QtFrameSink::OnFrame(const FrameReport& report) {
    OutboxFrame frame;
    frame.monitor = &monitor_;
    frame.console = &console_;
    frame.rgbImage = report.rgbImage.clone();  // the run reuses its frame buffer
    frame.line = report.logLine;
    outbox_.Post(std::move(frame));
}

void QtFrameSink::OnNotice(const std::string& line) {
    OutboxFrame notice;
    notice.console = &console_;
    notice.line = line;
    outbox_.Post(std::move(notice));
}

std::size_t DeliverFrames(FrameOutbox& outbox) {
    std::deque<OutboxFrame> frames = outbox.TakeAll();
    for (const OutboxFrame& frame : frames) {
        if (frame.monitor != nullptr && !frame.rgbImage.empty()) ShowRgbFrame(*frame.monitor, frame.rgbImage);
        if (frame.console != nullptr && !frame.line.empty()) {
            frame.console->append(QString::fromStdString(frame.line));
        }
    }
    return frames.size();
}

namespace {

// Scales the 24-bit picture wrapped by `whole` (sharing its pixels) to the
// label's height before anything else: a large frame or still is then
// converted and made a pixmap only at the size it is shown, not whole.
void ShowScaled(QLabel& monitor, const QImage& whole) {
    if (whole.isNull()) return;
    QImage shown = whole.scaledToHeight(monitor.height(), Qt::FastTransformation);
    // At the label's own height Qt hands back the wrapper itself, whose
    // pixels belong to the caller.
    if (shown.constBits() == whole.constBits()) shown = shown.copy();
    monitor.setPixmap(QPixmap::fromImage(std::move(shown)));
}

}  // namespace

void ShowRgbFrame(QLabel& monitor, const cv::Mat& rgb) {
    if (rgb.empty() || rgb.type() != CV_8UC3) return;
    ShowScaled(monitor, QImage(rgb.data, rgb.cols, rgb.rows, static_cast<int>(rgb.step), QImage::Format_RGB888));
}

void ShowBgrFrame(QLabel& monitor, const cv::Mat& bgr) {
    if (bgr.empty() || bgr.type() != CV_8UC3) return;
    ShowScaled(monitor, QImage(bgr.data, bgr.cols, bgr.rows, static_cast<int>(bgr.step), QImage::Format_BGR888));
}

}  // namespace kalvero
