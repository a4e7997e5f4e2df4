#include "line_reader/HeightPyramid.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "line_reader/DigitBlobs.h"

namespace kalvero {

namespace {

// The band of blob heights FindDigitBlobs accepts around the height it is
// given (its kMinHeight and kMaxHeight).
constexpr double kBandLow = 0.6;
constexpr double kBandHigh = 1.5;
// Every level is a halving of the one before (or searches the same
// halving for other heights), starting at half size: digits of 10 pixels
// are 5 there, still rows of blobs, and the line model reads them from the
// full-size image.
constexpr double kFirstScale = 0.5;
// The smallest digits, at the first level: 8 pixels there, 0.6 * 8 * 2 =
// 9.6 to 1.5 * 8 * 2 = 24 pixels of the image.
constexpr int kSmallestHeight = 8;
// Every halving is searched for digits of 16 pixels there (9.6 to 24): at
// half size 19 to 48 pixels of the image. Blobs are found most reliably
// near the height searched for; toward either end of the band thin or
// blurred digits break up or run together, so the bands are placed for the
// heights of painted numbers rather than edge to edge (16 rather than 20
// at half size puts 26 to 32 pixel digits, common at 640 x 360 and 720p,
// near its middle instead of at its lower end).
constexpr int kLevelHeight = 16;
// From a quarter size on, each halving is searched a second time for
// digits half an octave smaller (16 / sqrt 2), so that no height is found
// only at the edge of a band: at a quarter 11 pixels there, 26 to 66 of the
// image, centred between the 32 of half size and the 64 of a quarter. Not
// at half size, where a third search would cost a quarter more time a
// whole frame.
constexpr int kBetweenHeight = 11;
// Enough halvings for digits far beyond the searched range.
constexpr int kMaxHalvings = 6;

}  // namespace

double PyramidLevel::LowestDigit() const { return kBandLow * workHeight / scale; }
double PyramidLevel::HighestDigit() const { return kBandHigh * workHeight / scale; }

std::vector<PyramidLevel> PyramidLevelsFor(const DigitHeightRange& range) {
    std::vector<PyramidLevel> levels;
    if (range.empty() || range.max < 1) return levels;
    std::vector<PyramidLevel> all = {PyramidLevel{kFirstScale, kSmallestHeight}};
    double scale = kFirstScale;
    for (int halving = 0; halving < kMaxHalvings; ++halving, scale /= 2.0) {
        // Smaller digits first: the levels come in order of the heights
        // they find, and share the halving they search.
        if (scale < kFirstScale) all.push_back(PyramidLevel{scale, kBetweenHeight});
        all.push_back(PyramidLevel{scale, kLevelHeight});
    }
    for (const PyramidLevel& level : all) {
        if (level.LowestDigit() <= range.max && level.HighestDigit() >= range.min) levels.push_back(level);
    }
    return levels;
}

std::vector<PyramidLevel> NearestPyramidLevels(double digitHeight, std::size_t count) {
    std::vector<PyramidLevel> all = PyramidLevelsFor(DigitHeightRange{1, 1 << 20});
    const auto off = [&](const PyramidLevel& level) {
        return std::abs(std::log(level.workHeight / level.scale / std::max(1.0, digitHeight)));
    };
    std::vector<PyramidLevel> nearest = all;
    std::stable_sort(nearest.begin(), nearest.end(),
                     [&](const PyramidLevel& a, const PyramidLevel& b) { return off(a) < off(b); });
    nearest.resize(std::min(count, nearest.size()));
    // Back in the order of the heights they find.
    std::vector<PyramidLevel> ordered;
    for (const PyramidLevel& level : all) {
        const bool kept = std::any_of(nearest.begin(), nearest.end(), [&](const PyramidLevel& n) {
            return n.scale == level.scale && n.workHeight == level.workHeight;
        });
        if (kept) ordered.push_back(level);
    }
    return ordered;
}

std::vector<LineProposal> ProposeLinesOverHeights(const cv::Mat& image, const DigitHeightRange& range, int maxLines,
                                                  std::vector<cv::Mat>* halvings) {
    return ProposeLinesAtLevels(image, PyramidLevelsFor(range), maxLines, kAveragedInkContrast, halvings);
}

std::vector<LineProposal> ProposeFaintLinesOverHeights(const cv::Mat& image, const DigitHeightRange& range,
                                                       int maxLines) {
    return ProposeLinesAtLevels(image, PyramidLevelsFor(range), maxLines, kFaintInkContrast);
}

std::vector<LineProposal> ProposeLinesAtLevels(const cv::Mat& image, const std::vector<PyramidLevel>& levels,
                                               int maxLines, int inkContrast, std::vector<cv::Mat>* halvings) {
    if (halvings != nullptr) halvings->clear();
    if (image.empty() || image.dims != 2 || (image.type() != CV_8UC1 && image.type() != CV_8UC3) || maxLines < 1) {
        return {};
    }
    std::vector<LineProposal> proposals;
    // Every level is at half size or less: a colour image is made grey
    // only once halved, at a quarter of the cost.
    cv::Mat work = image;
    double workScale = 1.0;
    // The levels of one halving are smoothed alike (their heights are
    // small): the smoothed copy serves all of them.
    cv::Mat smooth;
    double smoothing = 0.0;
    for (const PyramidLevel& level : levels) {
        while (workScale > level.scale) {
            smooth.release();
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
            if (halvings != nullptr) halvings->push_back(work);
        }
        // Every level averages at least four pixels into one.
        if (work.type() != CV_8UC1) continue;
        if (smooth.empty() || InkSmoothing(level.workHeight) != smoothing) {
            smooth = SmoothForInk(work, level.workHeight);
            smoothing = InkSmoothing(level.workHeight);
        }
        AddLevelProposals(PrepareInkImagesFromSmooth(smooth, level.workHeight, inkContrast), level.workHeight,
                          image.size(), proposals);
    }
    return KeepBestProposals(std::move(proposals), maxLines);
}

}  // namespace kalvero
