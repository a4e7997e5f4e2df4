#include "line_reader/LearnedZoneReader.h"

#include "line_reader/ReadLines.h"

namespace kalvero {

std::vector<Reading> LearnedZoneReader::Read(const cv::Mat& zone, int digitHeight) {
    // For this engine the digit height is a hint (0: none), and the zone is
    // searched for digits of any height it allows.
    settings_.digitHeight = digitHeight;
    return ReadLines(zone, settings_, reader_);
}

std::vector<Reading> LearnedZoneReader::ReadInSequence(const cv::Mat& zone, long long index,
                                                       const std::vector<cv::Mat>& ahead, int digitHeight,
                                                       double& frameMs) {
    if (groups_.settings().digitHeight != digitHeight) {
        groups_.Forget();
        groups_.settings().digitHeight = digitHeight;
    }
    return ToReadings(groups_.Read(zone, index, ahead, frameMs));
}

}  // namespace kalvero
