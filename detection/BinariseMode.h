#pragma once

namespace kalvero {

struct GlyphTemplateBank;

// Number of scan modes (bits of the scan mode mask).
constexpr int kScanModeCount = 4;

// Binarises the bank's grey image for scan mode m (0..3) into
// scanImages[m], digit strokes as 255:
//   0  light on dark, mean threshold offset -5
//   1  light on dark, offset -15
//   2  as 1, then dilated twice with a 1 x 2 rectangle
//   3  dark on light, inverted threshold, offset +15
// then removes runs longer than 3 W across and (int)(1.5 h) down and records
// the removed vertical runs, sorted by x, in exclusionBoxes[m].
void BinariseMode(GlyphTemplateBank& bank, int mode);

}  // namespace kalvero
