#include "line_reader/LongInkRuns.h"

#include <climits>
#include <cstdint>

#include "recognition_common/LongRuns.h"

namespace kalvero {

namespace {

bool IsMask(const cv::Mat& ink) { return !ink.empty() && ink.type() == CV_8UC1 && ink.dims == 2; }

}  // namespace

void ClearLongInkRuns(cv::Mat& ink, int longestAcross, int longestDown) {
    // A run `longest` long is cleared: the longest kept is one shorter, and
    // a length below 1 keeps every run of its direction.
    LongRunLimits limits;
    limits.keptAcross = longestAcross >= 1 ? longestAcross - 1 : INT_MAX;
    limits.keptDown = longestDown >= 1 ? longestDown - 1 : INT_MAX;
    limits.ink = InkPixels::NonZero;
    ClearLongRuns(ink, limits);
}

void ClearLongInkRunsReference(cv::Mat& ink, int longestAcross, int longestDown) {
    if (!IsMask(ink)) return;
    const cv::Mat given = ink.clone();
    for (int y = 0; y < given.rows; ++y) {
        for (int x = 0; x < given.cols; ++x) {
            if (given.at<std::uint8_t>(y, x) == 0) continue;
            int left = x, right = x, up = y, down = y;
            while (left > 0 && given.at<std::uint8_t>(y, left - 1) != 0) --left;
            while (right + 1 < given.cols && given.at<std::uint8_t>(y, right + 1) != 0) ++right;
            while (up > 0 && given.at<std::uint8_t>(up - 1, x) != 0) --up;
            while (down + 1 < given.rows && given.at<std::uint8_t>(down + 1, x) != 0) ++down;
            const bool across = longestAcross >= 1 && right - left + 1 >= longestAcross;
            const bool alongDown = longestDown >= 1 && down - up + 1 >= longestDown;
            if (across || alongDown) ink.at<std::uint8_t>(y, x) = 0;
        }
    }
}

}  // namespace kalvero
