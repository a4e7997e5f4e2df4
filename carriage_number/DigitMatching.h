#pragma once
#include <vector>

#include <opencv2/core.hpp>

#include "carriage_number/DigitCandidate.h"
#include "carriage_number/ClassifierTables.h"

namespace kalvero {

struct GlyphTemplateBank;

// One window of the digit matching: strip columns start .. end - 1.
struct MatchWindow {
    int start = 0;
    int end = 0;
};

// The windows slid along a strip of the given width: 1.6 glyph widths wide,
// half a glyph width apart, the last one aligned with the strip's right end.
std::vector<MatchWindow> DigitMatchWindows(int stripWidth, int glyphWidth);

// Matches the digit glyphs of the bank (all but the 1 and the alternative
// forms) in every window of the binarised strip; each accepted match is
// verified by the shape classifiers. Appends the window lists to
// `candidates`, window after window.
void MatchDigits(const cv::Mat& strip, const GlyphTemplateBank& bank,
                 std::vector<DigitCandidate>& candidates);

// False when too many columns of the glyph box hold no ink: more than 30 %,
// or for template 4 more than 20 %.
bool PassesColumnFill(const cv::Mat& strip, const cv::Rect& box, int templateIndex);

// Trims up to 5 nearly empty columns from each side and up to 5 nearly
// empty rows from the top of a glyph box. The result can be empty.
cv::Rect TightenBox(const cv::Mat& strip, const cv::Rect& box, int digitHeight, int glyphWidth);

// Records a match of template j at window location loc in the window list:
// a record closer than 0.7 glyph widths takes the match over when it scored
// lower; otherwise the match is appended.
void AddCandidate(std::vector<DigitCandidate>& list, int templateIndex, double score,
                  cv::Point loc, int windowStart, int glyphWidth);

// The verdict of the shape classifiers on a match of template j: k is the
// best probe class, p the probe agreements, z the zone distances.
bool AcceptMatch(int templateIndex, double score, int k, const float p[kShapeClassCount],
                 const float z[kShapeClassCount]);

}  // namespace kalvero
