#include "detection/GlyphZoneReader.h"

#include "detection/FrameReadings.h"
#include "detection/RecognizeFrame.h"

namespace kalvero {

std::vector<Reading> GlyphZoneReader::Read(const cv::Mat& zone, int digitHeight) {
    RecognitionSettings settings;
    settings.digitHeight = digitHeight;
    settings.requireFullNumber = true;
    settings.trace = trace_;
    return ReadingsOf(RecognizeFrame(zone, settings));
}

}  // namespace kalvero
