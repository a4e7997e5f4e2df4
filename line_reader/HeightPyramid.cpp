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
// Every level is a halving of the one before (cv::pyrDown: it averages, so
// thin strokes stay, and costs a third of an area resize), starting at
// half size: digits of 10 pixels are 5 there, still rows of blobs, and the
// line model reads them from the full-size image.
constexpr double kFirstScale = 0.5;
// The smallest digits, at the first level: 8 pixels there, 0.6 * 8 * 2 =
// 9.6 to 1.5 * 8 * 2 = 24 pixels of the image.
constexpr int kSmallestHeight = 8;
// Every other band: 20 pixels at its level, which starts where the band of
// the smallest digits ends (0.6 * 20 = 12 = 1.5 * 8) and covers an octave
// and a quarter, so that consecutive halvings overlap.
constexpr int kLevelHeight = 20;
// Enough levels for digits far beyond the searched range.
constexpr int kMaxLevels = 7;

}  // namespace

double PyramidLevel::LowestDigit() const { return kBandLow * workHeight / scale; }
double PyramidLevel::HighestDigit() const { return kBandHigh * workHeight / scale; }

std::vector<PyramidLevel> PyramidLevelsFor(const DigitHeightRange& range) {
    std::vector<PyramidLevel> levels;
    if (range.empty() || range.max < 1) return levels;
    std::vector<PyramidLevel> all = {PyramidLevel{kFirstScale, kSmallestHeight}};
    for (double scale = kFirstScale; static_cast<int>(all.size()) < kMaxLevels; scale /= 2.0) {
        all.push_back(PyramidLevel{scale, kLevelHeight});
    }
    for (const PyramidLevel& level : all) {
        if (level.LowestDigit() <= range.max && level.HighestDigit() >= range.min) levels.push_back(level);
    }
    return levels;
}

std::vector<LineProposal> ProposeLinesOverHeights(const cv::Mat& image, const DigitHeightRange& range, int maxLines) {
    if (image.empty() || image.dims != 2 || (image.type() != CV_8UC1 && image.type() != CV_8UC3) || maxLines < 1) {
        return {};
    }
    const std::vector<PyramidLevel> levels = PyramidLevelsFor(range);
    std::vector<LineProposal> proposals;
    // Every level is at half size or less: a colour image is made grey
    // only once halved, at a quarter of the cost.
    cv::Mat work = image;
    double workScale = 1.0;
    for (const PyramidLevel& level : levels) {
        while (workScale > level.scale) {
            // A level smaller than its smallest digit holds none, and
            // neither does any after it.
            if (work.rows / 2 < kBandLow * level.workHeight || work.cols / 2 < kBandLow * level.workHeight) {
                return KeepBestProposals(std::move(proposals), maxLines);
            }
            // Exact halvings by area: each pixel the mean of four, which
            // keeps thin strokes without blurring them further.
            cv::Mat half;
            cv::resize(work, half, cv::Size(work.cols / 2, work.rows / 2), 0.0, 0.0, cv::INTER_AREA);
            if (half.channels() == 3) cv::cvtColor(half, half, cv::COLOR_BGR2GRAY);
            work = half;
            workScale /= 2.0;
        }
        // Every level averages at least four pixels into one.
        AddLevelProposals(work, level.workHeight, image.size(), proposals, kAveragedInkContrast);
    }
    return KeepBestProposals(std::move(proposals), maxLines);
}

}  // namespace kalvero
