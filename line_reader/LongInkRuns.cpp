#include "line_reader/LongInkRuns.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kalvero {

namespace {

bool IsMask(const cv::Mat& ink) { return !ink.empty() && ink.type() == CV_8UC1 && ink.dims == 2; }

}  // namespace

namespace {

// Marks, in `marks`, the horizontal runs of one row at least `longest` long.
// Ink is sparse: eight bytes at a time are skipped while they are all 0.
void MarkLongRowRuns(const std::uint8_t* row, int cols, int longest, std::uint8_t* marks) {
    int x = 0;
    while (x < cols) {
        while (x + 8 <= cols) {
            std::uint64_t word;
            std::memcpy(&word, row + x, sizeof word);
            if (word != 0) break;
            x += 8;
        }
        while (x < cols && row[x] == 0) ++x;
        if (x >= cols) break;
        const int start = x;
        while (x < cols && row[x] != 0) ++x;
        if (x - start >= longest) std::fill(marks + start, marks + x, std::uint8_t{1});
    }
}

}  // namespace

void ClearLongInkRuns(cv::Mat& ink, int longestAcross, int longestDown) {
    if (!IsMask(ink)) return;
    // Marks first, clearing after, so both directions see the mask as given.
    cv::Mat clear(ink.size(), CV_8UC1, cv::Scalar(0));
    if (longestAcross >= 1) {
        for (int y = 0; y < ink.rows; ++y) {
            MarkLongRowRuns(ink.ptr<std::uint8_t>(y), ink.cols, longestAcross, clear.ptr<std::uint8_t>(y));
        }
    }
    if (longestDown >= 1) {
        // Row by row, each column's run so far (saturating, so a run of any
        // length fits): the loop over a row has no branch and vectorises.
        // Only a row where some long run ends is looked at column by column.
        const int cols = ink.cols;
        const std::int32_t longest = longestDown;
        std::vector<std::int32_t> run(static_cast<std::size_t>(cols), 0);
        std::vector<std::int32_t> before(static_cast<std::size_t>(cols), 0);
        for (int y = 0; y <= ink.rows; ++y) {
            const std::uint8_t* row = y < ink.rows ? ink.ptr<std::uint8_t>(y) : nullptr;
            std::int32_t ended = 0;
            for (int x = 0; x < cols; ++x) {
                const std::int32_t on = row != nullptr && row[x] != 0 ? 1 : 0;
                const std::int32_t previous = run[static_cast<std::size_t>(x)];
                before[static_cast<std::size_t>(x)] = previous;
                run[static_cast<std::size_t>(x)] = (previous + 1) * on;
                ended |= (previous >= longest) & (on ^ 1);
            }
            if (ended == 0) continue;
            for (int x = 0; x < cols; ++x) {
                const std::int32_t length = before[static_cast<std::size_t>(x)];
                if (length < longest || run[static_cast<std::size_t>(x)] != 0) continue;
                for (int k = y - length; k < y; ++k) clear.at<std::uint8_t>(k, x) = 1;
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
