#include "detection/RemoveLongRuns.h"

#include <algorithm>

#include <opencv2/core.hpp>

namespace kalvero {

namespace {
// Only full-value pixels are ink: the scan images hold 0 and 255 alone.
constexpr uchar kForeground = 255;
}  // namespace

void RemoveLongRuns(cv::Mat& image, int horizontalLimit, int verticalLimit,
                    std::vector<cv::Rect>& verticalRuns) {
    CV_Assert(image.type() == CV_8UC1);
    const cv::Mat source = image.clone();
    const int width = source.cols;
    const int height = source.rows;

    for (int y = 0; y < height; ++y) {
        const uchar* in = source.ptr<uchar>(y);
        uchar* out = image.ptr<uchar>(y);
        int run = 0;
        for (int x = 0; x <= width; ++x) {
            if (x < width && in[x] == kForeground) {
                ++run;
                continue;
            }
            if (run > horizontalLimit) {
                std::fill(out + (x - run), out + x, uchar(0));
            }
            run = 0;
        }
    }

    // Vertical pass, row by row with one run counter per column (the copy
    // is read in memory order). Runs are found as they end, so a column's
    // runs come top to bottom; a stable sort by column then gives the runs
    // column by column, as a column-wise walk would list them.
    std::vector<int> runs(static_cast<std::size_t>(width), 0);
    std::vector<cv::Rect> removed;
    for (int y = 0; y <= height; ++y) {
        const uchar* in = y < height ? source.ptr<uchar>(y) : nullptr;
        for (int x = 0; x < width; ++x) {
            int& run = runs[static_cast<std::size_t>(x)];
            if (in != nullptr && in[x] == kForeground) {
                ++run;
                continue;
            }
            if (run > verticalLimit) {
                for (int r = y - run; r < y; ++r) {
                    image.ptr<uchar>(r)[x] = 0;
                }
                removed.emplace_back(x, y - run, 1, run - 1);
            }
            run = 0;
        }
    }
    std::stable_sort(removed.begin(), removed.end(),
                     [](const cv::Rect& a, const cv::Rect& b) { return a.x < b.x; });
    verticalRuns.insert(verticalRuns.end(), removed.begin(), removed.end());
}

}  // namespace kalvero
