#include "cli/OpenedInput.h"

#include "cli/OpenFailure.h"
#include "command_line/PrintableText.h"
#include "worker/FrameScaling.h"

namespace kalvero {

OpenedInput OpenInput(const std::string& path, float zoom) {
    OpenedInput input;
    if (!input.source->open(path)) {
        return input;
    }
    input.opened = true;
    input.frameCount = input.source->announcedFrames();
    input.framesPerSecond = input.source->framesPerSecond();
    cv::Mat frame;
    if (!input.source->read(frame) || frame.empty()) {
        return input;
    }
    input.firstFrameRead = true;
    input.source->putBack(frame);
    cv::Mat scaled = frame.clone();  // the loop scales the frame it reads itself
    ScaleByZoom(scaled, zoom);
    input.scaledFirstFrame = scaled;
    return input;
}

std::string InputProblem(const OpenedInput& input, const std::string& path) {
    if (!input.opened) {
        return OpenFailure(path);
    }
    if (!input.firstFrameRead) {
        return "cannot read the first frame of '" + PrintableText(path) + "'";
    }
    return "";
}

}  // namespace kalvero
