#include "recognition_common/ZoneReader.h"

#include <chrono>

namespace kalvero {

std::vector<Reading> ZoneReader::ReadInSequence(const cv::Mat& zone, long long index, const std::vector<cv::Mat>& ahead,
                                                int digitHeight, double& frameMs) {
    (void)index;
    (void)ahead;
    const auto start = std::chrono::steady_clock::now();
    std::vector<Reading> readings = Read(zone, digitHeight);
    frameMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return readings;
}

}  // namespace kalvero
