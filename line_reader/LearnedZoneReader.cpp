#include "line_reader/LearnedZoneReader.h"

#include "line_reader/ReadLines.h"

namespace kalvero {

std::vector<Reading> LearnedZoneReader::Read(const cv::Mat& zone, int digitHeight) {
    // For this engine the digit height is a hint (0: none), and the zone is
    // searched for digits of any height it allows.
    settings_.digitHeight = digitHeight;
    return ReadLines(zone, settings_, reader_);
}

std::vector<Reading> LearnedZoneReader::ReadInSequence(const cv::Mat& zone, long long index, const cv::Mat& next,
                                                       int digitHeight, double& aheadMs) {
    aheadMs = 0.0;
    if (!ReadsAhead(digitHeight)) {
        pairs_.Forget();
        return Read(zone, digitHeight);
    }
    pairs_.settings().digitHeight = 0;
    return ToReadings(pairs_.Read(zone, index, next, aheadMs));
}

}  // namespace kalvero
