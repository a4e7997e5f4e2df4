#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "line_reader/LineCrop.h"
#include "tools/CropConditions.h"
#include "tools/DigitFonts.h"
#include "tools/NoiseTile.h"
#include "tools/PaintedWords.h"

namespace kalvero {

// One training example for the line reader: the NormaliseLine picture of
// a jittered box around a painted digit group, and the digits that lie
// wholly inside it (empty when none does).
struct LineCropSample {
    cv::Mat image;        // kLineInputHeight x kLineInputWidth, 8-bit grey
    std::string label;    // digits wholly inside the crop, left to right
    std::string font;     // DigitFont::Name() of the font used
    std::string painted;  // the digit group painted (none on a blank side)
    LineBox trueBox;      // the group's own box in the scene frame
    LineBox box;          // the jittered box the crop was cut from
    cv::Mat frame;        // the scene frame (8-bit grey) the crop came from
    bool conditioned = false;  // drawn under CropConditions
};

// Makes line crops from a set of fonts. Loading renders every font once;
// after that Make only reads, so one maker may serve several threads.
class CropMaker {
public:
    // Loads the font entries ("glyph", "stencil" or font file paths) and
    // the words painted beside numbers. Returns an empty text on success,
    // else a message naming the entry that failed.
    std::string Load(const std::vector<std::string>& fontEntries);

    // Crop number `index` of the run seeded with `seed`; a negative (box
    // over paint, rivets, stripes, words or across a number without any
    // whole digit) with chance `negativesShare`; drawn under a random mix
    // of conditions (RandomCropConditions) with chance `conditionsShare`.
    // The same arguments always give the same crop, and a crop drawn
    // without conditions is the same whatever `conditionsShare` is.
    LineCropSample Make(std::uint64_t seed, std::uint64_t index, double negativesShare,
                        double conditionsShare = 0.0) const;
    // Crop `index` drawn under the given conditions (none: as Make draws it
    // without conditions).
    LineCropSample MakeWith(std::uint64_t seed, std::uint64_t index, double negativesShare,
                            const CropConditions& conditions) const;

    const std::vector<DigitFont>& Fonts() const { return fonts_; }

private:
    DigitFont handFont_;
    DigitFont blockStencilFont_;
    std::vector<DigitFont> fonts_;
    std::vector<WordBank> words_;     // words_[i] goes with fonts_[i]
    NoiseTile noise_;
};

// Digits (one quadrilateral of four corners per digit, in frame pixels)
// that lie inside the part of the frame NormaliseLine cuts for `box`. A
// digit counts when at most kCropNickShare of its cell's width or height
// falls outside: those outer pixels are blank or anti-aliased. When
// `ambiguous` is given, it is set if some digit is cut but still shows
// more than a third of itself, a crop that no label describes well.
constexpr double kCropNickShare = 0.04;
std::string DigitsInsideCrop(const LineBox& box, const std::string& digits,
                             const std::vector<std::vector<cv::Point2d>>& digitCorners,
                             bool* ambiguous = nullptr);

// The line box of a painted row: from the middle of the first digit's left
// edge to the middle of the last digit's right edge, the mean digit height,
// each digit given as four corners (top left, top right, bottom right,
// bottom left) in frame pixels.
LineBox LineBoxOfDigits(const std::vector<std::vector<cv::Point2d>>& digitCorners);

}  // namespace kalvero
