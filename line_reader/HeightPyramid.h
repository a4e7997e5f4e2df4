#pragma once
#include <vector>

#include <opencv2/core.hpp>

#include "line_reader/DigitBlobs.h"
#include "line_reader/DigitHeightRange.h"
#include "line_reader/LineProposals.h"

namespace kalvero {

// One level of the search over digit heights: the image scaled by `scale`
// and searched for digits about `workHeight` pixels high there.
// FindDigitBlobs accepts 0.6 to 1.5 times that height, so a level finds
// digits of 0.6 * workHeight / scale to 1.5 * workHeight / scale pixels of
// the image.
struct PyramidLevel {
    double scale = 1.0;
    int workHeight = 16;

    double LowestDigit() const;   // in image pixels
    double HighestDigit() const;  // in image pixels
};

// The levels whose digit heights meet `range`, in order of the heights
// they find (largest scale first). All are halvings of the image, from
// half size on: half size is searched for the smallest digits (10 to 24
// pixels) and for digits of 16 pixels there (19 to 48), every later
// halving for digits of 11 and of 16 pixels there (at a quarter 26 to 66
// and 38 to 96, at an eighth 53 to 132 and 77 to 192, ...), so that every
// height from 24 pixels on lies within a quarter of some level's own
// height, not only inside its tolerant band. Empty for an empty range.
std::vector<PyramidLevel> PyramidLevelsFor(const DigitHeightRange& range);

// Lines of digits of any height in `range` in an 8-bit grey or BGR image
// (made grey once halved): each
// level PyramidLevelsFor names is made by halvings (area averages, which
// keep thin strokes), searched (AddLevelProposals), and
// the rows of all levels are ranked together (KeepBestProposals): at most
// `maxLines`, best first. A level whose image would be smaller than its
// digits is skipped, with every level after it. An image that is empty or
// neither 8-bit grey nor BGR, an empty range or maxLines below 1 gives none.
//
// The cost is about twice that of a search at half size: every halving
// after the first has a quarter of the pixels of the one before, and is
// searched twice.
// `halvings`, when given, receives the halvings made (see
// ProposeLinesAtLevels).
std::vector<LineProposal> ProposeLinesOverHeights(const cv::Mat& image, const DigitHeightRange& range, int maxLines,
                                                  std::vector<cv::Mat>* halvings = nullptr);

// The same search over the `levels` given, in order of the heights they
// find (largest scale first), as PyramidLevelsFor lists them, with ink
// standing out by `inkContrast` (as PrepareInkImages takes it). When
// `halvings` is given it receives the grey halvings the search made, half
// size first, each the area halving of the one before (the first of a BGR
// image made grey once halved), for a caller that needs the image smaller
// too: none when no level was searched.
std::vector<LineProposal> ProposeLinesAtLevels(const cv::Mat& image, const std::vector<PyramidLevel>& levels,
                                               int maxLines, int inkContrast = kAveragedInkContrast,
                                               std::vector<cv::Mat>* halvings = nullptr);

// ProposeLinesOverHeights with the lower ink contrast of the search for
// faint strokes (kFaintInkContrast): faded paint whose digits break into
// specks at the usual contrast. Noise and grain stand out by that contrast
// too, so a caller runs it only where the usual search read nothing. The
// same inputs give none as for ProposeLinesOverHeights.
std::vector<LineProposal> ProposeFaintLinesOverHeights(const cv::Mat& image, const DigitHeightRange& range,
                                                       int maxLines);

// Of the levels PyramidLevelsFor can give, the `count` whose own heights
// (workHeight / scale) are nearest to `digitHeight` by ratio (of two as
// near, the one listed first), in the order PyramidLevelsFor lists them.
std::vector<PyramidLevel> NearestPyramidLevels(double digitHeight, std::size_t count);

}  // namespace kalvero
