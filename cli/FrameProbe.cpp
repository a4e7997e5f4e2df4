#include "cli/FrameProbe.h"

#include <cmath>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

namespace kalvero {

cv::Size ScaledFrameSize(int cols, int rows, float zoom) {
    const float width = static_cast<float>(cols) * zoom;
    const float height = static_cast<float>(rows) * zoom;
    return cv::Size(static_cast<int>(width), static_cast<int>(height));
}

FrameProbe ProbeFile(const std::string& path, float zoom) {
    FrameProbe probe;
    cv::VideoCapture capture;
    try {
        capture.open(path);
    } catch (const cv::Exception&) {
        return probe;
    }
    if (!capture.isOpened()) {
        return probe;
    }
    probe.opened = true;
    const double count = capture.get(cv::CAP_PROP_FRAME_COUNT);
    // Still images and some streams report nonsense (negative or huge).
    probe.frameCount = (std::isfinite(count) && count >= 1.0 && count < 1e9)
                           ? static_cast<long long>(count)
                           : 0;
    cv::Mat frame;
    try {
        capture >> frame;
    } catch (const cv::Exception&) {
        frame.release();
    }
    if (frame.empty()) {
        return probe;
    }
    probe.firstFrameRead = true;
    const cv::Size size = ScaledFrameSize(frame.cols, frame.rows, zoom);
    if (size.width < 1 || size.height < 1) {
        probe.scaledFirstFrame = cv::Mat();
        return probe;
    }
    cv::resize(frame, probe.scaledFirstFrame, size, 0, 0, cv::INTER_LINEAR);
    return probe;
}

}  // namespace kalvero
