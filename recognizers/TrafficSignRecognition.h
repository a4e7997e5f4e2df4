#pragma once
#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

#include "carriage_number/ClassifierTables.h"
#include "recognizers/RecognitionClass.h"

namespace kalvero {

// Outcome of classifying the one or two digit blobs of a sign.
struct SpeedReading {
    std::int32_t value = -1;  // accepted speed value, or -1
    std::int32_t glyphScoreCount = 0;
    float glyphScores[2] = {0.0f, 0.0f};
    float rankValue = 0.0f;
};

// Reads the value of a speed-limit sign inside a region of type code 100:
// one or two dark digits on the light inner disc of the sign.
//
// The inner 80 % of the region is thresholded at the Otsu level (dark strokes
// become foreground), the outer blobs of digit size are taken left to right,
// each is reduced to a 5 x 10 ink-density grid and matched against ten digit
// prototypes, and only the speed values 5, 10, 20, ..., 90 are accepted.
class TrafficSignRecognition : public RecognitionClass {
public:
    // The sign reader's fixed tables: the one code it answers to and the
    // speed limits a sign can show.
    static constexpr std::int32_t kSignCodeTable[] = {kSignTypeCode};
    static constexpr std::int32_t kSpeedValues[] = {5, 10, 20, 30, 40, 50, 60, 70, 80, 90};
    // Share of the region cut from each side so that the red ring stays out
    // of the threshold and of the blobs.
    static constexpr double kInsetFraction = 0.1;
    // Otsu's level is found on 64 grey bins: four levels a bin is finer than
    // the contrast of a printed sign needs and keeps the histogram smooth on
    // small regions.
    static constexpr int kHistogramBins = 64;
    // Largest mean grid difference at which a blob still counts as its
    // nearest prototype; a blob further from every digit is not read.
    static constexpr float kMaxGlyphDistance = 0.32f;

    // Keeps the entries of `codes` that are sign codes, in order.
    TrafficSignRecognition(std::int32_t codeCount, const std::int32_t* codes);

    // Reads the region for each sign code that admits it until a value is
    // read; then status is the value and text its decimal form.
    bool Recognize(const GlyphTemplateBank& bank, const CandidateRegion& region) override;

    // A region is read for sign code c when c is the sign code 100 and the
    // region carries that type code.
    static bool AdmitsRegion(std::int32_t signCode, const CandidateRegion& region);

    // One reading attempt on the bank's grey image: sets status to the speed
    // value and the glyph scores and rankValue, or status to -1.
    void ReadSign(const GlyphTemplateBank& bank, CandidateRegion region);

    // `r` without a border of fraction f of its width (left and right) and
    // height (top and bottom); unchanged when f is outside 0.01..0.49.
    static cv::Rect InsetRect(const cv::Rect& r, double f);

    // Histogram bin (0..n-1) that best splits an 8-bit one-channel image into
    // two classes by between-class variance; -1 for an empty image, another
    // image type, or n outside 8..256.
    static std::int32_t OtsuBin(const cv::Mat& image, int n);

    // Index of the digit prototype nearest to the ink-density grid of a glyph
    // box (mean absolute cell difference); the ten distances are written to
    // `distances`. Ties go to the lower digit.
    static int ClassifyGlyph(const ZoneGrid& grid, float distances[10]);

    // Outer blobs of a binary image (foreground non-zero) whose bounding box
    // is digit-sized relative to the image: 10 % to 50 % of its width and
    // 40 % to 90 % of its height. Returns the count, stopping at 3, and
    // writes the boxes of the first two in contour order.
    static int FindDigitBlobs(const cv::Mat& binary, cv::Rect boxes[2]);

    // Classifies the grids of one or two digits (left to right) and returns
    // the speed value they spell, refused when a digit lies farther than
    // kMaxGlyphDistance from its prototype or the value is not a speed value.
    static SpeedReading ReadSpeedValue(const ZoneGrid* grids, int count);

    // The stored prototype of digit 0..9 (fraction of each cell covered by ink).
    static const ZoneGrid& DigitPrototype(int digit);

    std::vector<std::int32_t> signCodes;
};

}  // namespace kalvero
