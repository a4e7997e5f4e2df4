#include "line_reader/LearnedZoneReader.h"

#include "line_reader/ReadLines.h"

namespace kalvero {

std::vector<Reading> LearnedZoneReader::Read(const cv::Mat& zone, int digitHeight) {
    // For this engine the digit height is a hint (0: none), and the zone is
    // searched for digits of any height it allows.
    settings_.digitHeight = digitHeight;
    return ReadLines(zone, settings_, reader_);
}

}  // namespace kalvero
