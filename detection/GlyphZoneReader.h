#pragma once
#include <vector>

#include "recognition_common/ZoneReader.h"

namespace kalvero {

class RecognitionTrace;

// The glyph engine behind the run loop's ZoneReader: RecognizeFrame with the
// whole-number rule, its readings in the Reading form (ReadingsOf), same
// refusals and order.
class GlyphZoneReader : public ZoneReader {
public:
    // `trace` (may be null) observes every zone read; it must outlive the
    // reader.
    explicit GlyphZoneReader(RecognitionTrace* trace = nullptr) : trace_(trace) {}

    RecognitionEngine engine() const override { return RecognitionEngine::Glyph; }
    std::vector<Reading> Read(const cv::Mat& zone, int digitHeight) override;

private:
    RecognitionTrace* trace_;
};

}  // namespace kalvero
