#pragma once

namespace kalvero {

struct GlyphTemplateBank;
struct SearchContext;

// Runs every scan mode enabled in the context's mask, in order 0..3:
// binarisation, then glyph search and grouping; finally removes candidates
// whose boxes repeat an earlier candidate's.
void ScanModes(SearchContext& context, GlyphTemplateBank& bank);

}  // namespace kalvero
