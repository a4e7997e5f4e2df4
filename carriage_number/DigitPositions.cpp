#include "carriage_number/DigitPositions.h"

#include <algorithm>
#include <cstdlib>

#include <opencv2/imgproc.hpp>

#include "carriage_number/StripProfile.h"

namespace kalvero {

std::vector<float> SmoothProfile(const std::vector<int>& counts, int n) {
    if (n <= 0) {
        return {};
    }
    cv::Mat row(1, n, CV_32FC1);
    for (int i = 0; i < n; ++i) {
        row.at<float>(0, i) = static_cast<float>(counts[static_cast<std::size_t>(i)]);
    }
    // On a single row a 3-point Gaussian of sigma 0 is (1/4, 1/2, 1/4).
    cv::GaussianBlur(row, row, cv::Size(3, 1), 0.0, 0.0, cv::BORDER_REPLICATE);
    return std::vector<float>(row.ptr<float>(0), row.ptr<float>(0) + n);
}

std::vector<int> FindProfilePeaks(const std::vector<float>& v, int n, double f, int capacity) {
    std::vector<int> peaks;
    if (n <= 0 || capacity <= 0) {
        return peaks;
    }
    int m = 0;
    for (int i = 1; i < n; ++i) {
        if (v[i] > v[m]) {
            m = i;
        }
    }
    peaks.push_back(m);
    const double threshold = f * static_cast<double>(v[m]);
    for (int i = 1; i <= n - 2; ++i) {
        if (!(v[i] > threshold) || i == m || !(v[i - 1] < v[i]) || !(v[i] >= v[i + 1])) {
            continue;
        }
        // After the global maximum, ordered by value; equal values keep
        // their insertion order.
        auto at = peaks.begin() + 1;
        while (at != peaks.end() && v[*at] >= v[i]) {
            ++at;
        }
        if (static_cast<int>(peaks.size()) >= capacity) {
            if (at == peaks.end()) {
                continue;  // beats no entry of a full list
            }
            peaks.pop_back();
        }
        peaks.insert(at, i);
    }
    // Of two peaks closer than 4 columns, the one earlier in the list stays.
    for (std::size_t k = 0; k + 1 < peaks.size(); ++k) {
        for (std::size_t l = k + 1; l < peaks.size();) {
            if (std::abs(peaks[l] - peaks[k]) < 4) {
                peaks.erase(peaks.begin() + static_cast<std::ptrdiff_t>(l));
                l = k + 1;
            } else {
                ++l;
            }
        }
    }
    return peaks;
}

bool IsDigitBand(const cv::Mat& image, const cv::Rect& band) {
    const int h = image.rows;
    if (h <= 0) {
        return false;
    }
    const std::vector<int> rows = InclusiveRowCounts(image, cv::Rect(band.x, 0, band.width, h));
    const double longRun = 0.49 * h;
    const int gapLimit = static_cast<int>(0.25 * h);
    bool inRun = false;
    int run = 1;
    int gaps = 0;
    bool found = false;
    for (int k = 0; k < h; ++k) {
        if (inRun) {
            if (run > longRun) {
                found = true;
                break;
            }
            if (rows[k] != 0) {
                ++run;
            } else {
                ++gaps;  // never reset: gaps add up over all runs
                if (gaps >= gapLimit) {
                    inRun = false;
                }
            }
        }
        if (!inRun && rows[k] != 0) {
            inRun = true;
            run = 1;
        }
    }
    const bool full = std::all_of(rows.begin(), rows.begin() + h, [](int c) { return c != 0; });
    const bool top = rows[0] > 1;
    const bool bottom = rows[h - 1] > 1;
    return found && !full && !(top && bottom);
}

std::vector<std::int32_t> FindDigitPositions(const cv::Mat& image, int limit, int size) {
    std::vector<std::int32_t> result;
    const int w = image.cols;
    const int h = image.rows;
    if (w < 2 || h <= 0) {
        return result;
    }
    const std::vector<int> prof = ImageColumnCounts(image);
    // The last column is left out of the smoothing and the peak search.
    const std::vector<float> smooth = SmoothProfile(prof, w - 1);
    const std::vector<int> peaks = FindProfilePeaks(smooth, w - 1, 0.7, limit);

    const int low = static_cast<int>(static_cast<float>(size) * 0.31f);
    const int reach = static_cast<int>(static_cast<float>(size) * 0.15f);
    for (const int g : peaks) {
        // Walk outwards until both sides have fallen below `low`. A side
        // that runs off the profile ends at the edge column.
        int left = -1;
        int right = -1;
        bool leftSettled = false;
        bool rightSettled = false;
        for (int j = 1; j <= reach; ++j) {
            if (!leftSettled) {
                if (g - j < 0) {
                    if (left < 0) {
                        left = 0;
                    }
                    leftSettled = true;
                } else if (prof[static_cast<std::size_t>(g - j)] < low) {
                    left = g - j;
                }
            }
            if (!rightSettled) {
                if (g + j > w - 1) {
                    if (right < 0) {
                        right = w - 1;
                    }
                    rightSettled = true;
                } else if (prof[static_cast<std::size_t>(g + j)] < low) {
                    right = g + j;
                }
            }
            if (left >= 0 && right >= 0) {
                if (IsDigitBand(image, cv::Rect(left, 0, right - left, h))) {
                    result.push_back(g);
                }
                break;
            }
        }
    }
    std::sort(result.begin(), result.end());
    return result;
}

}  // namespace kalvero
