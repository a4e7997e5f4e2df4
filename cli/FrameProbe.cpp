#include "cli/FrameProbe.h"

#include <cmath>

#include <opencv2/videoio.hpp>

#include "worker/FrameScaling.h"
#include "worker/FrameSource.h"

namespace kalvero {

namespace {

long long CountFrames(const std::string& path) {
    if (IsStillImageName(path)) {
        return 1;
    }
    cv::VideoCapture capture;
    try {
        if (!capture.open(path)) {
            return 0;
        }
    } catch (const cv::Exception&) {
        return 0;
    }
    const double count = capture.get(cv::CAP_PROP_FRAME_COUNT);
    // Some containers report nothing, a negative or an absurd count.
    return (std::isfinite(count) && count >= 1.0 && count < 1e9) ? static_cast<long long>(count)
                                                                  : 0;
}

}  // namespace

FrameProbe ProbeFile(const std::string& path, float zoom, bool countFrames) {
    FrameProbe probe;
    FrameSource source;
    if (!source.open(path)) {
        return probe;
    }
    probe.opened = true;
    cv::Mat frame;
    if (!source.read(frame) || frame.empty()) {
        return probe;
    }
    probe.firstFrameRead = true;
    ScaleByZoom(frame, zoom);
    probe.scaledFirstFrame = frame;
    source.release();
    if (countFrames) {
        probe.frameCount = CountFrames(path);
    }
    return probe;
}

}  // namespace kalvero
