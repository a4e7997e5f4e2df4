#pragma once

namespace kalvero {

struct GlyphTemplateBank;
struct SearchContext;

// Runs every scan mode enabled in the context's mask, in order 0..3:
// binarisation, then glyph search and grouping; finally removes candidates
// whose boxes repeat an earlier candidate's.
//
// With more than one thread (and the bank on the fast path) the modes are
// binarised side by side and the nine template searches of every mode run
// as separate tasks; each task keeps its own hit list and the lists are
// joined in mode and template order before grouping, so the candidates are
// the same whatever the number of threads.
void ScanModes(SearchContext& context, GlyphTemplateBank& bank, int threadCount = 1);

}  // namespace kalvero
