#pragma once
#include <vector>

#include "line_reader/FramePairReader.h"
#include "line_reader/LineReader.h"
#include "line_reader/LineReaderSettings.h"
#include "recognition_common/ZoneReader.h"

namespace kalvero {

// The learned engine behind the run loop's ZoneReader: ReadLines with the
// given settings, the digit height of each call taken as the hint. Without
// a hint the frames of a run are read in pairs (FramePairReader) when the
// next frame is at hand: a whole-frame search every other frame, and the
// places of the numbers it found in the frames between.
class LearnedZoneReader : public ZoneReader {
public:
    // `reader` is the network this object reads with, used by one thread
    // at a time; it must outlive this object. `settings.digitHeight` is
    // replaced by each call's height.
    LearnedZoneReader(LineReader& reader, LineReaderSettings settings)
        : reader_(reader), settings_(settings), pairs_(reader, std::move(settings)) {}

    RecognitionEngine engine() const override { return RecognitionEngine::Learned; }
    std::vector<Reading> Read(const cv::Mat& zone, int digitHeight) override;
    bool ReadsAhead(int digitHeight) const override { return digitHeight == 0; }
    std::vector<Reading> ReadInSequence(const cv::Mat& zone, long long index, const cv::Mat& next, int digitHeight,
                                        double& aheadMs) override;
    void ForgetSequence() override { pairs_.Forget(); }

private:
    LineReader& reader_;
    LineReaderSettings settings_;
    FramePairReader pairs_;  // reads without a hint (digitHeight 0)
};

}  // namespace kalvero
