#pragma once
#include <vector>

#include "line_reader/FrameGroupReader.h"
#include "line_reader/LineReader.h"
#include "line_reader/LineReaderSettings.h"
#include "recognition_common/ZoneReader.h"

namespace kalvero {

// The learned engine behind the run loop's ZoneReader: ReadLines with the
// given settings, the digit height of each call taken as the hint. The
// frames of a run are read in groups (FrameGroupReader) when the frames
// after are at hand: a search of the whole zone on every third frame
// (around the hint, when there is one), and the places of the numbers
// found in the frames between. A call with another hint than the one
// before starts a new sequence.
class LearnedZoneReader : public ZoneReader {
public:
    // `reader` is the network this object reads with, used by one thread
    // at a time; it must outlive this object. `settings.digitHeight` is
    // replaced by each call's height.
    LearnedZoneReader(LineReader& reader, LineReaderSettings settings)
        : reader_(reader), settings_(settings), groups_(reader, std::move(settings)) {}

    RecognitionEngine engine() const override { return RecognitionEngine::Learned; }
    std::vector<Reading> Read(const cv::Mat& zone, int digitHeight) override;
    int FramesAhead(long long index, int digitHeight) const override {
        return digitHeight == groups_.settings().digitHeight ? groups_.FramesAhead(index)
                                                             : FrameGroupReader::kGroupSize - 1;
    }
    std::vector<Reading> ReadInSequence(const cv::Mat& zone, long long index, const std::vector<cv::Mat>& ahead,
                                        int digitHeight, double& frameMs) override;
    void ForgetSequence() override { groups_.Forget(); }

private:
    LineReader& reader_;
    LineReaderSettings settings_;
    FrameGroupReader groups_;  // its settings' digitHeight: the hint of the sequence
};

}  // namespace kalvero
