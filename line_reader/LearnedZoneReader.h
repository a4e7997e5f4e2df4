#pragma once
#include <vector>

#include "line_reader/LineReader.h"
#include "line_reader/LineReaderSettings.h"
#include "recognition_common/ZoneReader.h"

namespace kalvero {

// The learned engine behind the run loop's ZoneReader: ReadLines with the
// given settings, the digit height of each call taken as the hint.
class LearnedZoneReader : public ZoneReader {
public:
    // `reader` is the network this object reads with, used by one thread
    // at a time; it must outlive this object. `settings.digitHeight` is
    // replaced by each call's height.
    LearnedZoneReader(LineReader& reader, LineReaderSettings settings)
        : reader_(reader), settings_(std::move(settings)) {}

    RecognitionEngine engine() const override { return RecognitionEngine::Learned; }
    std::vector<Reading> Read(const cv::Mat& zone, int digitHeight) override;

private:
    LineReader& reader_;
    LineReaderSettings settings_;
};

}  // namespace kalvero
