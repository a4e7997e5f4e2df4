#include "line_reader/LocalDeviation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/imgproc.hpp>

namespace kalvero {

namespace {

bool CanMeasure(const cv::Mat& grey, int side) {
    return !grey.empty() && grey.dims == 2 && grey.type() == CV_8UC1 && side >= 1;
}

// Windows whose sum of squares fits an int: side^2 * 255^2 < 2^31.
constexpr int kMaxExactSide = 181;

// The deviation floor of one row from the window sums of its grey levels
// (`sums`) and of their squares (`squares`).
void DeviationRow(const int* sums, const int* squares, int width, float scale, float share, std::uint8_t floor,
                  std::uint8_t* out) {
    int x = 0;
#if CV_SIMD128
    const cv::v_float32x4 vScale = cv::v_setall_f32(scale);
    const cv::v_float32x4 vShare = cv::v_setall_f32(share);
    const cv::v_float32x4 zero = cv::v_setzero_f32();
    const cv::v_uint8x16 vFloor = cv::v_setall_u8(floor);
    for (; x + 16 <= width; x += 16) {
        cv::v_int32x4 rounded[4];
        for (int k = 0; k < 4; ++k) {
            const cv::v_float32x4 mean = cv::v_cvt_f32(cv::v_load(sums + x + 4 * k)) * vScale;
            const cv::v_float32x4 square = cv::v_cvt_f32(cv::v_load(squares + x + 4 * k)) * vScale;
            rounded[k] = cv::v_round(cv::v_sqrt(cv::v_max(square - mean * mean, zero)) * vShare);
        }
        const cv::v_uint8x16 deviation =
            cv::v_pack_u(cv::v_pack(rounded[0], rounded[1]), cv::v_pack(rounded[2], rounded[3]));
        cv::v_store(out + x, cv::v_max(deviation, vFloor));
    }
#endif
    for (; x < width; ++x) {
        const float mean = static_cast<float>(sums[x]) * scale;
        const float variance = std::max(static_cast<float>(squares[x]) * scale - mean * mean, 0.0f);
        out[x] = std::max(cv::saturate_cast<std::uint8_t>(std::sqrt(variance) * share), floor);
    }
}

}  // namespace

cv::Mat LocalDeviationFloor(const cv::Mat& grey, int side, float share, int floor) {
    if (!CanMeasure(grey, side)) return cv::Mat();
    if (side > kMaxExactSide) return LocalDeviationFloorReference(grey, side, share, floor);
    const int width = grey.cols;
    const int height = grey.rows;
    const int half = side / 2;
    // Per column, the sums over the window's rows (border rows repeated),
    // with the border columns repeated half a window out on either side.
    const int padded = width + side - 1;
    std::vector<int> columnSums(static_cast<std::size_t>(padded), 0);
    std::vector<int> columnSquares(columnSums.size(), 0);
    int* sums = columnSums.data() + half;
    int* squares = columnSquares.data() + half;
    const auto addRow = [&](int y) {
        const std::uint8_t* row = grey.ptr<std::uint8_t>(std::min(std::max(y, 0), height - 1));
        for (int x = 0; x < width; ++x) {
            const int g = row[x];
            sums[x] += g;
            squares[x] += g * g;
        }
    };
    const auto removeRow = [&](int y) {
        const std::uint8_t* row = grey.ptr<std::uint8_t>(std::min(std::max(y, 0), height - 1));
        for (int x = 0; x < width; ++x) {
            const int g = row[x];
            sums[x] -= g;
            squares[x] -= g * g;
        }
    };
    // Rows y - half to y - half + side - 1 (OpenCV's anchor for any side).
    for (int dy = -half; dy < side - half; ++dy) addRow(dy);
    std::vector<int> windowSums(static_cast<std::size_t>(width));
    std::vector<int> windowSquares(windowSums.size());
    const float scale = static_cast<float>(1.0 / (static_cast<double>(side) * side));
    const std::uint8_t least = cv::saturate_cast<std::uint8_t>(floor);
    cv::Mat deviation(grey.size(), CV_8UC1);
    for (int y = 0; y < height; ++y) {
        if (y > 0) {
            removeRow(y - 1 - half);
            addRow(y + side - 1 - half);
        }
        for (int k = 1; k <= half; ++k) {
            sums[-k] = sums[0];
            squares[-k] = squares[0];
        }
        for (int k = 1; k < side - half; ++k) {
            sums[width - 1 + k] = sums[width - 1];
            squares[width - 1 + k] = squares[width - 1];
        }
        // The window slides along the padded columns.
        const int* from = columnSums.data();
        const int* fromSquares = columnSquares.data();
        int sum = 0, square = 0;
        for (int i = 0; i + 1 < side; ++i) {
            sum += from[i];
            square += fromSquares[i];
        }
        for (int x = 0; x < width; ++x) {
            sum += from[x + side - 1];
            square += fromSquares[x + side - 1];
            windowSums[static_cast<std::size_t>(x)] = sum;
            windowSquares[static_cast<std::size_t>(x)] = square;
            sum -= from[x];
            square -= fromSquares[x];
        }
        DeviationRow(windowSums.data(), windowSquares.data(), width, scale, share, least,
                     deviation.ptr<std::uint8_t>(y));
    }
    return deviation;
}

cv::Mat LocalDeviationFloorReference(const cv::Mat& grey, int side, float share, int floor) {
    if (!CanMeasure(grey, side)) return cv::Mat();
    const cv::Size box(side, side);
    cv::Mat mean, square;
    // OpenCV's filters read past the edges of a view into the image
    // around it; a copy has only its own.
    const cv::Mat own = grey.isSubmatrix() ? grey.clone() : grey;
    cv::boxFilter(own, mean, CV_32F, box, cv::Point(-1, -1), true, cv::BORDER_REPLICATE);
    cv::sqrBoxFilter(own, square, CV_32F, box, cv::Point(-1, -1), true, cv::BORDER_REPLICATE);
    cv::multiply(mean, mean, mean);
    cv::subtract(square, mean, square);
    cv::max(square, 0.0, square);
    cv::sqrt(square, square);
    cv::Mat deviation;
    square.convertTo(deviation, CV_8U, share);
    cv::max(deviation, std::max(0, floor), deviation);
    return deviation;
}

}  // namespace kalvero
