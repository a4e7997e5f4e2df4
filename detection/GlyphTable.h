#pragma once
#include <array>
#include <cstdint>

namespace kalvero {

// The built-in digit glyphs: 13 bitmaps of 23 rows x 14 columns. Each row is
// a 14-bit mask, leftmost column in bit 13.
constexpr int kGlyphCount = 13;
constexpr int kGlyphRows = 23;
constexpr int kGlyphCols = 14;

using GlyphRows = std::array<std::uint16_t, kGlyphRows>;

const std::array<GlyphRows, kGlyphCount>& GlyphTable();

// The digit each glyph stands for (glyphs 10 to 12 are alternative forms).
int GlyphDigit(int glyphIndex);

// Stroke pixel (row, column) of glyph g, as 0 or 1.
inline int GlyphPixel(int g, int row, int col) {
    return (GlyphTable()[g][row] >> (kGlyphCols - 1 - col)) & 1;
}

}  // namespace kalvero
