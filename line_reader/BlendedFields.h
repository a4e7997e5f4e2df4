#pragma once
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

// Two interlaced fields of a moving carriage whose combing is gone: blended
// by a deinterlacer, or smoothed away by scaling, blur and compression.
// Every edge of what moved shows twice, side by side, half the image's
// contrast each: the digits run into a ghost of themselves, no digit stands
// apart as a blob and the line model reads the double line badly.
//
// Where it may be: the horizontal shift between the two pictures, in image
// pixels (0: no repeat found), and the band of whole-width rows, in image
// pixels, where the repeat is strongest (the moving carriage's digits).
struct BlendedFieldsGuess {
    double shift = 0.0;
    cv::Rect band;
    // The rows (whole width, image pixels) whose repeat this is, in the
    // middle of `band`, and how far the repeat stands above the lags
    // around it, as a share of the edges' own energy there (the
    // autocorrelation at lag 0).
    cv::Rect strip;
    double clarity = 0.0;
};

// Looks for the shift in an 8-bit grey or BGR image: the lag, from
// kMinBlendShift pixels of a copy no wider than 640 pixels (halved by
// area, its rows averaged in pairs) up to a sixteenth of its width, at which the horizontal edges of a
// strip of rows repeat most clearly above the lags around it (the
// autocorrelation of the edges along the rows). A strip of ordinary texture
// repeats too (a grille, rivets, the digits' own pitch): this only names
// the one place and shift worth trying, it does not tell that the image is
// blended. The band reaches two strips above and below the best strip.
// Nothing (shift 0) for an empty image, one of another type, one too small
// for a strip, or one without edges.
constexpr int kMinBlendShift = 6;
BlendedFieldsGuess GuessBlendedFields(const cv::Mat& image);

// The same search, giving up to `maxBands` places: each strip's clearest
// repeat, clearest first, each strip's middle outside the bands before it.
// The moving carriage's digits need not repeat most clearly of all (the
// bogie below them, a grille, texture with a pitch near the shift), so a
// reader tries the next band when the first reads nothing. The first is
// GuessBlendedFields' guess. None for what GuessBlendedFields finds nothing
// in, or for maxBands below 1.
std::vector<BlendedFieldsGuess> GuessBlendedFieldBands(const cv::Mat& image, int maxBands);

// The autocorrelations the search compares, from an 8-bit grey image (its
// copy whose rows were averaged in pairs): one row for each strip of 8
// rows, the strips 4 rows apart from the top, holding at lag k = 0 to
// `maxLag` the sum over the strip's rows of e(x) * e(x + k), e being a
// row's horizontal edges (Sobel, x) and x + k within the row. Empty for an
// empty image, one of another type, one of fewer than 8 rows, or a negative
// `maxLag`. StripEdgeCorrelationsReference sums the same in double, one lag
// at a time; the two agree to float rounding.
cv::Mat StripEdgeCorrelations(const cv::Mat& grey, int maxLag);
cv::Mat StripEdgeCorrelationsReference(const cv::Mat& grey, int maxLag);

// One picture back from `image` (8-bit grey or BGR) taken as the mean of a
// picture and its copy `shift` pixels to the right: each row deconvolved
// along x (a Wiener inverse of that mean, so that the frequencies the mean
// cancels are not blown up), 8-bit grey, same size. Which of the two
// pictures comes back depends on the sign of `shift`; both read alike. An
// empty image, one of another type, or a shift whose size is below 1 pixel
// gives the image in grey, unchanged.
cv::Mat SeparateBlendedFields(const cv::Mat& image, double shift);

}  // namespace kalvero
