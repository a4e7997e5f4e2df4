#include "detection/TemplateCorrelation.h"

#include <vector>

#include <opencv2/imgproc.hpp>

namespace kalvero {

std::int64_t TemplateEnergy(const cv::Mat& glyphTemplate) {
    CV_Assert(glyphTemplate.type() == CV_8UC1);
    std::int64_t energy = 0;
    for (int r = 0; r < glyphTemplate.rows; ++r) {
        const uchar* row = glyphTemplate.ptr<uchar>(r);
        for (int c = 0; c < glyphTemplate.cols; ++c) {
            energy += static_cast<std::int64_t>(row[c]) * row[c];
        }
    }
    return energy;
}

cv::Mat CorrelationMap(const cv::Mat& image, const cv::Mat& glyphTemplate) {
    CV_Assert(image.type() == CV_8UC1 && glyphTemplate.type() == CV_8UC1);
    CV_Assert(glyphTemplate.cols <= image.cols && glyphTemplate.rows <= image.rows &&
              !glyphTemplate.empty());
    const int tw = glyphTemplate.cols;
    const int th = glyphTemplate.rows;
    const int mapCols = image.cols - tw + 1;
    const int mapRows = image.rows - th + 1;
    const std::int64_t templateEnergy = TemplateEnergy(glyphTemplate);

    // sum(I^2) of every window from the integral of squares (exact: the
    // sums stay far below 2^53).
    cv::Mat sums;
    cv::Mat squares;
    cv::integral(image, sums, squares, CV_64F, CV_64F);

    cv::Mat map(mapRows, mapCols, CV_32FC1);
    std::vector<std::int64_t> cross(static_cast<std::size_t>(mapCols));
    std::vector<std::int32_t> rowCross(static_cast<std::size_t>(mapCols));
    for (int y = 0; y < mapRows; ++y) {
        std::fill(cross.begin(), cross.end(), 0);
        for (int r = 0; r < th; ++r) {
            const uchar* in = image.ptr<uchar>(y + r);
            const uchar* t = glyphTemplate.ptr<uchar>(r);
            std::fill(rowCross.begin(), rowCross.end(), 0);
            for (int c = 0; c < tw; ++c) {
                const std::int32_t weight = t[c];
                if (weight == 0) {
                    continue;  // adds nothing
                }
                for (int x = 0; x < mapCols; ++x) {
                    rowCross[static_cast<std::size_t>(x)] += in[x + c] * weight;
                }
            }
            for (int x = 0; x < mapCols; ++x) {
                cross[static_cast<std::size_t>(x)] += rowCross[static_cast<std::size_t>(x)];
            }
        }
        const double* top = squares.ptr<double>(y);
        const double* bottom = squares.ptr<double>(y + th);
        float* out = map.ptr<float>(y);
        for (int x = 0; x < mapCols; ++x) {
            const auto windowEnergy =
                static_cast<std::int64_t>(bottom[x + tw] - bottom[x] - top[x + tw] + top[x]);
            out[x] = NormalisedCorrelation(cross[static_cast<std::size_t>(x)], windowEnergy,
                                           templateEnergy);
        }
    }
    return map;
}

}  // namespace kalvero
