#pragma once
#include <array>
#include <vector>

#include <opencv2/core.hpp>

#include "detection/BinaryTemplateSearch.h"
#include "detection/CorrelationPath.h"

namespace kalvero {

// Per-frame working set shared by the detection chain and the recognisers:
// the zone in grey, the per-mode binarised images with the long vertical runs
// removed from them, and the 13 digit glyphs at native and scaled size.
struct GlyphTemplateBank {
    // Grey copy of the zone image (BGR converted, any other image copied).
    explicit GlyphTemplateBank(const cv::Mat& zoneImage);

    // Sets the digit height h and glyph width W = (int)(0.62 h), builds the
    // native templates (0/255), scales them to (W + 2) x (h + 2) and derives
    // the window-search bounds of every scaled template.
    void ScaleTemplates(int h);

    cv::Mat greyImage;
    std::array<cv::Mat, 4> scanImages;
    std::array<std::vector<cv::Rect>, 4> exclusionBoxes;
    std::vector<cv::Mat> nativeTemplates;
    std::vector<cv::Mat> scaledTemplates;
    // Per scaled template, what the fast window search needs (same order).
    std::vector<TemplateBounds> templateBounds;
    int digitHeight = 0;
    int glyphWidth = 0;
    CorrelationPath correlationPath = CorrelationPath::Fast;
};

// W = (int)(0.62 * h), computed in double.
inline int GlyphWidthFor(int h) { return static_cast<int>(h * 0.62); }

}  // namespace kalvero
