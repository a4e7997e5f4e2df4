#pragma once
#include <vector>

#include <opencv2/core.hpp>

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

// The levels whose digit heights meet `range`, largest scale first. The
// full-size level looks for digits of 16 pixels (10 to 24: the smallest
// need every pixel); each level after it is about 0.42 times the size of
// the one before (the first 0.6) and looks for digits of 22 pixels, as tall
// as strokes of light fonts need to stay apart, so the bands meet with a
// little overlap: 10-24, 22-55, 52-131, 125-311 pixels. Empty for an empty
// range.
std::vector<PyramidLevel> PyramidLevelsFor(const DigitHeightRange& range);

// Lines of digits of any height in `range` in an 8-bit grey image: each
// level PyramidLevelsFor names is made from the one before by area
// averaging (which keeps thin strokes), searched (AddLevelProposals), and
// the rows of all levels are ranked together (KeepBestProposals): at most
// `maxLines`, best first. A level whose image would be smaller than its
// digits is skipped, with every level after it. A grey image that is empty
// or not 8-bit, an empty range or maxLines below 1 gives none.
//
// The cost is about that of the largest level searched, plus half: the
// levels after it have a third of its pixels together.
std::vector<LineProposal> ProposeLinesOverHeights(const cv::Mat& grey, const DigitHeightRange& range, int maxLines);

}  // namespace kalvero
