#pragma once
#include <array>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

// Height in pixels at which a DigitFont keeps its digit shapes; painting
// scales them down from here.
constexpr int kDigitFontReferenceHeight = 96;

// The ten digit shapes of one font, kept as masks (8-bit, 255 ink) that are
// each cropped to their own ink across and share the font's digit rows
// (top of the tallest digit to bottom of the lowest), so every mask is
// kDigitFontReferenceHeight high and as wide as the digit itself.
// Sources: "glyph" (the reader's own glyph bitmaps), "stencil" (our drawn
// stencil digits), "block-stencil" (square-ended block stencil digits),
// "hand" (brush-painted digits, each one drawn afresh when painted) or the
// path of a TrueType/OpenType font file.
// A loaded font is read-only and may be shared between threads.
class DigitFont {
public:
    // Loads `entry`. Returns an empty text on success, else a message
    // naming the entry (a missing file, a font without digits).
    std::string Load(const std::string& entry);

    // The entry's name as labels print it: "glyph", "stencil" or the file
    // name without its folder ("DejaVuSans-Bold.ttf").
    const std::string& Name() const { return name_; }
    // Digits painted by hand: PaintDigitLine draws each one anew.
    bool IsHand() const { return name_ == "hand"; }
    // The entry as given.
    const std::string& Entry() const { return entry_; }
    // The font file, or empty for glyph and stencil.
    bool IsFontFile() const { return !path_.empty(); }

    // Mask of digit d (0..9) at the reference height.
    const cv::Mat& Digit(int d) const { return digits_[static_cast<std::size_t>(d)]; }

    // Digit d with its strokes grown (step > 0) or thinned (step < 0) by
    // |step| reference pixels, cropped again to the ink rows and columns;
    // step is clamped to [kMinWeightStep, kMaxWeightStep]. Made once at load.
    static constexpr int kMinWeightStep = -3;
    static constexpr int kMaxWeightStep = 5;
    const cv::Mat& WeightedDigit(int d, int step) const;
    // The same at half the size, to scale small digits from: shrinking by
    // large factors is what painting spends most of its time on.
    const cv::Mat& WeightedDigitHalf(int d, int step) const;
    // Widest digit mask, the cell width of fixed pitch.
    int WidestDigit() const { return widest_; }

private:
    std::string entry_;
    std::string name_;
    std::string path_;
    std::array<cv::Mat, 10> digits_;
    std::vector<cv::Mat> weighted_;      // [(step - kMinWeightStep) * 10 + digit]
    std::vector<cv::Mat> weightedHalf_;  // the same, half size
    int widest_ = 0;
};

// True for the fonts drawn by our own code rather than loaded from a file:
// "glyph", "stencil", "block-stencil" and "hand".
bool IsDrawnFontName(const std::string& entry);

// Text masks of a TrueType/OpenType font at a given pixel height, the ink
// cropped on every side (8-bit, 255 ink). Empty for text without ink.
// Not safe to share between threads while rendering.
class FontTextRenderer {
public:
    // Returns an empty text on success, else a message naming the file.
    std::string Load(const std::string& path);
    bool Loaded() const { return !path_.empty(); }
    cv::Mat Render(const std::string& utf8, int pixelHeight);

private:
    std::string path_;
    cv::Ptr<cv::Algorithm> freetype_;
};

// Font entries used for training when none are named: every .ttf file in
// /usr/share/fonts/truetype/{dejavu,liberation,liberation2,croscore}, in
// name order, then "glyph" and "stencil". Other installed fonts are left
// out on purpose: some are kept back to check the trained reader on shapes
// it never saw.
std::vector<std::string> DefaultTrainingFontEntries();

// Splits a comma-separated font list; empty entries are an error.
// Returns an empty text on success, else a message.
std::string SplitFontList(const std::string& list, std::vector<std::string>& entries);

}  // namespace kalvero
