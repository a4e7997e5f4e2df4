#include "line_reader/LongInkRuns.h"

#include <vector>

namespace kalvero {

namespace {

bool IsMask(const cv::Mat& ink) { return !ink.empty() && ink.type() == CV_8UC1 && ink.dims == 2; }

}  // namespace

void ClearLongInkRuns(cv::Mat& ink, int longestAcross, int longestDown) {
    if (!IsMask(ink)) return;
    // Marks first, clearing after, so both directions see the mask as given.
    cv::Mat clear(ink.size(), CV_8UC1, cv::Scalar(0));
    if (longestAcross >= 1) {
        for (int y = 0; y < ink.rows; ++y) {
            const std::uint8_t* row = ink.ptr<std::uint8_t>(y);
            std::uint8_t* marks = clear.ptr<std::uint8_t>(y);
            int start = -1;
            for (int x = 0; x <= ink.cols; ++x) {
                const bool on = x < ink.cols && row[x] != 0;
                if (on && start < 0) start = x;
                if (!on && start >= 0) {
                    if (x - start >= longestAcross) std::fill(marks + start, marks + x, std::uint8_t{1});
                    start = -1;
                }
            }
        }
    }
    if (longestDown >= 1) {
        // Row by row with one open run per column, to read memory in order.
        std::vector<int> start(static_cast<std::size_t>(ink.cols), -1);
        for (int y = 0; y <= ink.rows; ++y) {
            const std::uint8_t* row = y < ink.rows ? ink.ptr<std::uint8_t>(y) : nullptr;
            for (int x = 0; x < ink.cols; ++x) {
                const bool on = row != nullptr && row[x] != 0;
                int& open = start[static_cast<std::size_t>(x)];
                if (on && open < 0) open = y;
                if (!on && open >= 0) {
                    if (y - open >= longestDown) {
                        for (int k = open; k < y; ++k) clear.at<std::uint8_t>(k, x) = 1;
                    }
                    open = -1;
                }
            }
        }
    }
    ink.setTo(0, clear);
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
