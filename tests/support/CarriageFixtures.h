#pragma once
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "recognizers/RecognitionTrace.h"

namespace kalvero::test {

// A two-level image (0/255) drawn as text: '#' is ink, anything else is
// background; every row must have the same length.
cv::Mat InkImage(const std::vector<std::string>& rows);

// A binarised strip (ink 255 on 0) of `height` rows and `width` columns with
// the given columns filled from row `top` to row `bottom` (inclusive).
cv::Mat BarStrip(int width, int height, const std::vector<int>& columns, int top, int bottom);

// A binarised strip carrying the digits drawn with the built-in glyphs at
// digit height h, the first glyph box at (left, 2); gap in glyph widths.
cv::Mat DigitStrip(const std::string& digits, int h, double gap, int left, int width);

// Records the strips a carriage-number recogniser read.
struct StripRecord {
    int index;
    int candidates;
    std::string digits;
    int assembled;
};
class StripRecorder : public RecognitionTrace {
public:
    void OnStrip(const CandidateRegion& region, int stripIndex, int candidateCount,
                 const std::string& digits, int assembled) override;
    std::vector<int> Indexes() const;
    std::vector<StripRecord> strips;
};

}  // namespace kalvero::test
