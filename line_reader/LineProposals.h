#pragma once
#include <vector>

#include <opencv2/core.hpp>

#include "line_reader/DigitBlobs.h"
#include "line_reader/LineCrop.h"

namespace kalvero {

// A place in the zone that may hold a line of digits, to be read by the
// line model.
struct LineProposal {
    LineBox line;        // what NormaliseLine crops
    cv::Rect box;        // axis-aligned box of the digits, in zone pixels
    int blobCount = 0;   // digit-like blobs in the row (0: not from blobs)
    bool lightDigits = false;  // found as light digits on a darker ground
    float rank = 0.0f;   // higher first; in (0, 1]
};

// Fewest blobs a row needs to be proposed: a carriage number has eight
// digits and a few may be lost to dirt or merge with a neighbour.
constexpr int kMinRowBlobs = 5;

// Lines of digits in an 8-bit grey image, found from the shapes of the
// digits alone (no font): digit-like blobs of both polarities grouped into
// rows (see FindDigitBlobs and GroupBlobRows) of at least kMinRowBlobs.
// Digits taller than about 22 pixels are looked for in a copy scaled down
// to that height, which keeps the cost of large digits low. That copy is
// also halved once more and searched with the lower ink contrast of
// averaged pictures (kAveragedInkContrast): faded paint stands out there
// when it does not at full resolution. Its rows rank a little below those
// of the first search.
// A row of more than eight blobs is also proposed as every run of eight
// consecutive blobs set apart from its neighbours by gaps wider than the
// row's usual gap, so that a stray blob beside a number does not spoil its
// reading. Rank favours eight blobs of even height. A proposal whose box
// nearly coincides with a better one (the same row seen in both
// polarities) is dropped. Rows of both polarities over one number are
// usual: the ground between light digits is darker than its surroundings
// and forms a row of "dark digits" beside them; which one holds the number
// is left to the reader. At most `maxLines`, best rank first (stable). A grey image that is empty or not 8-bit, a digit
// height below 4 or above twice the image's height, or maxLines below 1
// gives none.
std::vector<LineProposal> ProposeLines(const cv::Mat& grey, int digitHeight, int maxLines);

// The first search of ProposeLines (in the copy where the digits are about
// 22 pixels tall) with an ink contrast lower than even that of averaged
// pictures (kFaintInkContrast): faded paint whose strokes are thin, which the
// halved copy averages away with the ground around them. Noise and grain
// stand out by that contrast too, so a caller runs it only where the usual
// search read nothing. The same inputs give none as for ProposeLines.
std::vector<LineProposal> ProposeFaintLines(const cv::Mat& grey, int digitHeight, int maxLines);

// The proposals of one level of a search: digit-like blobs of about
// `workHeight` pixels (the band FindDigitBlobs accepts) in `work`, grouped
// into rows of both polarities and ranked, appended to `proposals` in the
// coordinates of an image of `image` size of which `work` is a scaled copy.
// Ink must stand out by `inkContrast` grey levels at least (PrepareInkImages).
// Nothing for an empty or non-8-bit `work` or a height below 4.
void AddLevelProposals(const cv::Mat& work, int workHeight, cv::Size image, std::vector<LineProposal>& proposals,
                       int inkContrast = kInkContrast);
// The same from the images PrepareInkImages makes of `work` for
// `workHeight`: a search over several heights of one image smooths it once.
void AddLevelProposals(const InkImages& images, int workHeight, cv::Size image, std::vector<LineProposal>& proposals);

// At most `maxLines` of `proposals`, best rank first (stable), dropping a
// proposal whose box nearly coincides with a better one's (the same row
// seen in both polarities or at two levels).
std::vector<LineProposal> KeepBestProposals(std::vector<LineProposal> proposals, int maxLines);

// Intersection over union of two boxes; 0 when either is empty.
double BoxIou(const cv::Rect& a, const cv::Rect& b);

}  // namespace kalvero
