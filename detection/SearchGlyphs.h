#pragma once

namespace kalvero {

struct GlyphTemplateBank;
struct SearchContext;

// Glyph search of one scan mode (its image must be binarised): collects the
// hits of the digit templates and groups them into candidate regions of type
// code 300 + mode, appended to the context.
void SearchGlyphs(SearchContext& context, const GlyphTemplateBank& bank, int mode,
                  int minGroupSize, int maxGroupSize, float heightTolerance);

}  // namespace kalvero
