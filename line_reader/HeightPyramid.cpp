#include "line_reader/HeightPyramid.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

namespace kalvero {

namespace {

// The band of blob heights FindDigitBlobs accepts around the height it is
// given (its kMinHeight and kMaxHeight).
constexpr double kBandLow = 0.6;
constexpr double kBandHigh = 1.5;
// The full-size level: digits of 10 pixels need it, and 16 is the largest
// working height whose band still starts below 10.
constexpr int kFullSizeHeight = 16;
// The smaller levels: the working height of the line search made for one
// known height (ProposeLines), and the scales that put the bands end to
// end with some overlap (band ratio 2.5, step ratio about 2.4).
constexpr int kScaledHeight = 22;
constexpr double kFirstScale = 0.6;
constexpr double kNextScale = 0.42;
// Enough levels for digits far beyond the searched range.
constexpr int kMaxLevels = 6;

}  // namespace

double PyramidLevel::LowestDigit() const { return kBandLow * workHeight / scale; }
double PyramidLevel::HighestDigit() const { return kBandHigh * workHeight / scale; }

std::vector<PyramidLevel> PyramidLevelsFor(const DigitHeightRange& range) {
    std::vector<PyramidLevel> levels;
    if (range.empty() || range.max < 1) return levels;
    PyramidLevel level{1.0, kFullSizeHeight};
    for (int k = 0; k < kMaxLevels; ++k) {
        if (level.LowestDigit() > range.max) break;
        if (level.HighestDigit() >= range.min) levels.push_back(level);
        level = PyramidLevel{k == 0 ? kFirstScale : level.scale * kNextScale, kScaledHeight};
    }
    return levels;
}

std::vector<LineProposal> ProposeLinesOverHeights(const cv::Mat& grey, const DigitHeightRange& range, int maxLines) {
    if (grey.empty() || grey.type() != CV_8UC1 || maxLines < 1) return {};
    std::vector<LineProposal> proposals;
    cv::Mat work = grey;
    double workScale = 1.0;
    for (const PyramidLevel& level : PyramidLevelsFor(range)) {
        if (level.scale != workScale) {
            // Each level from the nearest larger one: area averaging reads
            // every pixel of its source, so a chain costs less than going
            // back to the full image each time.
            const double factor = level.scale / workScale;
            const cv::Size size(static_cast<int>(std::lround(work.cols * factor)),
                                static_cast<int>(std::lround(work.rows * factor)));
            // A level smaller than its smallest digit holds none, and
            // neither does any after it.
            if (size.height < kBandLow * level.workHeight || size.width < kBandLow * level.workHeight) break;
            cv::Mat smaller;
            cv::resize(work, smaller, size, 0.0, 0.0, cv::INTER_AREA);
            work = smaller;
            workScale = level.scale;
        }
        AddLevelProposals(work, level.workHeight, grey.size(), proposals);
    }
    return KeepBestProposals(std::move(proposals), maxLines);
}

}  // namespace kalvero
