#include "worker/QtFrameSinkQt.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QString>
#include <QSysInfo>
#include <QTextEdit>

#include <opencv2/imgproc.hpp>

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

void ShowRgbFrame(QLabel& monitor, const cv::Mat& rgb) {
    if (rgb.empty() || rgb.type() != CV_8UC3) return;
    QImage image;
    if (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        // Straight into the pixmap's own 32-bit format (bytes B, G, R, 255),
        // so that making the pixmap needs no further conversion.
        image = QImage(rgb.cols, rgb.rows, QImage::Format_RGB32);
        if (image.isNull()) return;
        cv::Mat pixels(rgb.rows, rgb.cols, CV_8UC4, image.bits(), static_cast<std::size_t>(image.bytesPerLine()));
        cv::cvtColor(rgb, pixels, cv::COLOR_RGB2BGRA);
    } else {
        image = QImage(rgb.data, rgb.cols, rgb.rows, static_cast<int>(rgb.step), QImage::Format_RGB888).copy();
    }
    const QPixmap pixmap = QPixmap::fromImage(std::move(image));
    monitor.setPixmap(pixmap.scaledToHeight(monitor.height(), Qt::FastTransformation));
}

void ShowBgrFrame(QLabel& monitor, const cv::Mat& bgr) {
    if (bgr.empty()) return;
    cv::Mat rgb;
    cv::cvtColor(bgr, rgb, cv::COLOR_BGR2RGB);
    ShowRgbFrame(monitor, rgb);
}

}  // namespace kalvero
