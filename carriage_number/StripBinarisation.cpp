#include "carriage_number/StripBinarisation.h"

#include <cstdint>

#include <opencv2/imgproc.hpp>

namespace kalvero {

namespace {

// The glyph reader's fixed 15 x 15 mean-threshold neighbourhood, the same
// as the zone scan's, so a strip binarises like the scan that found it.
constexpr int kBlockSize = 15;

struct StripMode {
    bool widened;
    int thresholdType;
    double matchOffset;
    double profileOffset;
};

constexpr StripMode kModes[kStripModeCount] = {
    {false, cv::THRESH_BINARY, -5.0, -10.0},
    {true, cv::THRESH_BINARY, -5.0, -10.0},
    {false, cv::THRESH_BINARY_INV, 15.0, 10.0},
    {true, cv::THRESH_BINARY_INV, 15.0, 10.0},
};

cv::Mat Threshold(const cv::Mat& grey, const StripMode& mode, double offset) {
    cv::Mat out;
    cv::adaptiveThreshold(grey, out, 255, cv::ADAPTIVE_THRESH_MEAN_C, mode.thresholdType,
                          kBlockSize, offset);
    return out;
}

}  // namespace

cv::Rect StripBox(int mode, const cv::Rect& region, int glyphWidth, int imageWidth) {
    if (!kModes[mode - 1].widened) {
        return region;
    }
    const double side = 2.3 * glyphWidth;
    const int x = region.x;
    const int w = region.width;
    const int left = (x - side <= 0.0) ? 1 : x - static_cast<int>(side);
    int width = (x + w + side >= imageWidth - 1) ? imageWidth - left - 2
                                                 : w + static_cast<int>(4.6 * glyphWidth);
    // A region near the left edge widened by the full amount can overrun
    // the right edge; end it where the right-edge rule would.
    if (left + width > imageWidth - 2) {
        width = imageWidth - left - 2;
    }
    return cv::Rect(left, region.y, width, region.height);
}

void CleanForeground(const cv::Mat& grey, cv::Mat& mask) {
    CV_Assert(grey.type() == CV_8UC1 && mask.type() == CV_8UC1 && grey.size() == mask.size());
    std::int64_t fgSum = 0;
    std::int64_t bgSum = 0;
    std::int64_t fgCount = 0;
    std::int64_t bgCount = 0;
    for (int r = 0; r < mask.rows; ++r) {
        const uchar* g = grey.ptr<uchar>(r);
        const uchar* m = mask.ptr<uchar>(r);
        for (int c = 0; c < mask.cols; ++c) {
            if (m[c] == 255) {
                fgSum += g[c];
                ++fgCount;
            } else {
                bgSum += g[c];
                ++bgCount;
            }
        }
    }
    const std::int64_t fgMean = fgCount > 0 ? fgSum / fgCount : 0;
    const std::int64_t bgMean = bgCount > 0 ? bgSum / bgCount : 0;
    const bool darkForeground = bgMean > fgMean;
    for (int r = 0; r < mask.rows; ++r) {
        const uchar* g = grey.ptr<uchar>(r);
        uchar* m = mask.ptr<uchar>(r);
        for (int c = 0; c < mask.cols; ++c) {
            if (m[c] != 255) {
                continue;
            }
            const bool far = darkForeground ? g[c] > fgMean + 80 : g[c] < fgMean - 80;
            if (far) {
                m[c] = 0;
            }
        }
    }
}

void BinarizeStripMode(const cv::Mat& grey, const cv::Rect& region, int glyphWidth, int m,
                       cv::Mat& matchImage, cv::Mat& profileImage) {
    CV_Assert(m >= 1 && m <= kStripModeCount);
    const StripMode& mode = kModes[m - 1];
    const cv::Rect box = StripBox(m, region, glyphWidth, grey.cols);
    if (box.width <= 0 || box.height <= 0) {
        // Only a grey image a few pixels wide leaves no widened box.
        matchImage = cv::Mat();
        profileImage = cv::Mat();
        return;
    }
    const cv::Mat view = grey(box);
    matchImage = Threshold(view, mode, mode.matchOffset);
    profileImage = Threshold(view, mode, mode.profileOffset);
    CleanForeground(view, matchImage);
    CleanForeground(view, profileImage);
}

void BinarizeStrip(const cv::Mat& grey, const cv::Rect& region, int glyphWidth,
                   std::vector<cv::Mat>& matchImages, std::vector<cv::Mat>& profileImages) {
    for (int m = 1; m <= kStripModeCount; ++m) {
        cv::Mat match;
        cv::Mat profile;
        BinarizeStripMode(grey, region, glyphWidth, m, match, profile);
        matchImages.push_back(match);
        profileImages.push_back(profile);
    }
}

}  // namespace kalvero
