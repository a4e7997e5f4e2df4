#include "detection/ScanModes.h"

#include "detection/BinariseMode.h"
#include "detection/RemoveDuplicateCandidates.h"
#include "detection/SearchContext.h"
#include "detection/SearchGlyphs.h"

namespace kalvero {

void ScanModes(SearchContext& context, GlyphTemplateBank& bank) {
    for (int mode = 0; mode < kScanModeCount; ++mode) {
        if ((context.scanModeMask & (1 << mode)) == 0) {
            continue;
        }
        BinariseMode(bank, mode);
        SearchGlyphs(context, bank, mode, kMinGroupSize, kMaxGroupSize, kHeightTolerance);
    }
    RemoveDuplicateCandidates(context);
}

}  // namespace kalvero
