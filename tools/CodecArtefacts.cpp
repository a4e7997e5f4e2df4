#include "tools/CodecArtefacts.h"

#include <algorithm>
#include <cmath>

namespace kalvero {

void AddBlockCodecArtefacts(cv::Mat& grey, int block, double step) {
    if (step <= 0.0 || grey.empty() || grey.type() != CV_8UC1) {
        return;
    }
    const int n = block == 16 ? 16 : 8;
    // The picture padded to whole tiles by repeating its edge.
    const int rows = (grey.rows + n - 1) / n * n;
    const int cols = (grey.cols + n - 1) / n * n;
    cv::Mat padded;
    cv::copyMakeBorder(grey, padded, 0, rows - grey.rows, 0, cols - grey.cols, cv::BORDER_REPLICATE);
    cv::Mat wide;
    padded.convertTo(wide, CV_32F);
    cv::Mat weights(n, n, CV_32F);
    for (int v = 0; v < n; ++v) {
        for (int u = 0; u < n; ++u) {
            weights.at<float>(v, u) = static_cast<float>(step * (1.0 + 0.35 * (u + v) * 8.0 / n));
        }
    }
    cv::Mat coeffs;
    for (int y = 0; y < rows; y += n) {
        for (int x = 0; x < cols; x += n) {
            cv::Mat tile = wide(cv::Rect(x, y, n, n));
            cv::dct(tile, coeffs);
            for (int v = 0; v < n; ++v) {
                float* c = coeffs.ptr<float>(v);
                const float* w = weights.ptr<float>(v);
                for (int u = 0; u < n; ++u) {
                    c[u] = std::round(c[u] / w[u]) * w[u];
                }
            }
            cv::idct(coeffs, tile);
        }
    }
    wide(cv::Rect(0, 0, grey.cols, grey.rows)).convertTo(grey, CV_8U);
}

}  // namespace kalvero
