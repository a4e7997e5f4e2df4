#include "detection/BinariseMode.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include "detection/GlyphTemplateBank.h"
#include "detection/RemoveLongRuns.h"

namespace kalvero {

namespace {
// Foreground value of a scan image: every later stage looks for 255.
constexpr double kMaxValue = 255.0;
// The glyph reader's fixed 15 x 15 neighbourhood of the mean threshold (the
// offsets per mode below are its fixed values too): a window about half a
// digit high at the usual heights, so the mean follows the panel's shading.
constexpr int kBlockSize = 15;
}  // namespace

void BinariseMode(GlyphTemplateBank& bank, int mode) {
    CV_Assert(mode >= 0 && mode < kScanModeCount);
    cv::Mat& scan = bank.scanImages[mode];
    switch (mode) {
    case 0:
        cv::adaptiveThreshold(bank.greyImage, scan, kMaxValue, cv::ADAPTIVE_THRESH_MEAN_C,
                              cv::THRESH_BINARY, kBlockSize, -5.0);
        break;
    case 1:
        cv::adaptiveThreshold(bank.greyImage, scan, kMaxValue, cv::ADAPTIVE_THRESH_MEAN_C,
                              cv::THRESH_BINARY, kBlockSize, -15.0);
        break;
    case 2: {
        cv::adaptiveThreshold(bank.greyImage, scan, kMaxValue, cv::ADAPTIVE_THRESH_MEAN_C,
                              cv::THRESH_BINARY, kBlockSize, -15.0);
        const cv::Mat element = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(1, 2));
        cv::dilate(scan, scan, element, cv::Point(-1, -1), 2, cv::BORDER_CONSTANT,
                   cv::morphologyDefaultBorderValue());
        break;
    }
    default:
        cv::adaptiveThreshold(bank.greyImage, scan, kMaxValue, cv::ADAPTIVE_THRESH_MEAN_C,
                              cv::THRESH_BINARY_INV, kBlockSize, 15.0);
        break;
    }

    // The glyph reader's fixed run limits: no digit stroke runs three glyph
    // widths across or one and a half digit heights down, so longer runs are
    // rails, panel edges and lettering underlines that would bridge digits.
    const int horizontalLimit = 3 * bank.glyphWidth;
    const int verticalLimit = static_cast<int>(1.5 * bank.digitHeight);
    std::vector<cv::Rect>& runs = bank.exclusionBoxes[mode];
    RemoveLongRuns(scan, horizontalLimit, verticalLimit, runs);
    std::stable_sort(runs.begin(), runs.end(),
                     [](const cv::Rect& a, const cv::Rect& b) { return a.x < b.x; });
}

}  // namespace kalvero
