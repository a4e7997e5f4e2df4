#include "line_reader/CellMeans.h"

#include <cstdint>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace kalvero {

namespace {

bool WholeCellsOf(const cv::Mat& grey, int cells) {
    return cells > 1 && !grey.empty() && grey.type() == CV_8UC1 && grey.dims == 2 && grey.rows % cells == 0 &&
           grey.cols % cells == 0;
}

}  // namespace

cv::Mat CellMeans(const cv::Mat& grey, int cells) {
    if (!WholeCellsOf(grey, cells)) return grey;
    // OpenCV's own path for halving is the fastest there is.
    if (cells == 2) return CellMeansReference(grey, cells);
    cv::Mat small(grey.rows / cells, grey.cols / cells, CV_8UC1);
    // Each band of `cells` rows is summed down into one row of column sums
    // (loops over whole rows, which vectorise), whose runs of `cells` are
    // then the cells' sums.
    std::vector<int> columns(static_cast<std::size_t>(grey.cols));
    const float scale = 1.0f / static_cast<float>(cells * cells);
    for (int y = 0; y < small.rows; ++y) {
        const std::uint8_t* row = grey.ptr<std::uint8_t>(y * cells);
        for (int x = 0; x < grey.cols; ++x) columns[static_cast<std::size_t>(x)] = row[x];
        for (int r = 1; r < cells; ++r) {
            row = grey.ptr<std::uint8_t>(y * cells + r);
            for (int x = 0; x < grey.cols; ++x) columns[static_cast<std::size_t>(x)] += row[x];
        }
        std::uint8_t* out = small.ptr<std::uint8_t>(y);
        const int* cell = columns.data();
        for (int x = 0; x < small.cols; ++x, cell += cells) {
            int sum = 0;
            for (int i = 0; i < cells; ++i) sum += cell[i];
            // As OpenCV: the sum scaled in float, rounded to nearest.
            out[x] = cv::saturate_cast<std::uint8_t>(static_cast<float>(sum) * scale);
        }
    }
    return small;
}

cv::Mat CellMeansReference(const cv::Mat& grey, int cells) {
    if (!WholeCellsOf(grey, cells)) return grey;
    cv::Mat small;
    cv::resize(grey, small, cv::Size(grey.cols / cells, grey.rows / cells), 0.0, 0.0, cv::INTER_AREA);
    return small;
}

}  // namespace kalvero
