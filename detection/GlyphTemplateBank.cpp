#include "detection/GlyphTemplateBank.h"

#include <opencv2/imgproc.hpp>

#include "detection/GlyphTable.h"

namespace kalvero {

GlyphTemplateBank::GlyphTemplateBank(const cv::Mat& zoneImage) {
    if (zoneImage.channels() == 3) {
        cv::cvtColor(zoneImage, greyImage, cv::COLOR_BGR2GRAY);
    } else {
        greyImage = zoneImage.clone();
    }
}

void GlyphTemplateBank::ScaleTemplates(int h) {
    digitHeight = h;
    glyphWidth = GlyphWidthFor(h);
    nativeTemplates.clear();
    scaledTemplates.clear();
    templateBounds.clear();
    for (int g = 0; g < kGlyphCount; ++g) {
        cv::Mat native(kGlyphRows, kGlyphCols, CV_8UC1);
        for (int p = 0; p < kGlyphRows * kGlyphCols; ++p) {
            const int row = p / kGlyphCols;
            const int col = p % kGlyphCols;
            native.at<uchar>(row, col) = GlyphPixel(g, row, col) ? 255 : 0;
        }
        nativeTemplates.push_back(native);
    }
    for (int g = 0; g < kGlyphCount; ++g) {
        cv::Mat scaled;
        cv::resize(nativeTemplates[g], scaled, cv::Size(glyphWidth + 2, h + 2), 0, 0,
                   cv::INTER_LINEAR);
        scaledTemplates.push_back(scaled);
        templateBounds.emplace_back(scaled);
    }
}

}  // namespace kalvero
