#include "detection/ScanModes.h"

#include <array>
#include <iterator>
#include <memory>
#include <vector>

#include "detection/BinariseMode.h"
#include "detection/GlyphHits.h"
#include "detection/GlyphTemplateBank.h"
#include "detection/GroupHits.h"
#include "recognition_common/ParallelTasks.h"
#include "detection/RemoveDuplicateCandidates.h"
#include "detection/SearchContext.h"
#include "detection/SearchGlyphs.h"

namespace kalvero {

namespace {

constexpr int kTemplatesPerMode = static_cast<int>(std::size(kSearchTemplates));

std::vector<int> EnabledModes(const SearchContext& context) {
    std::vector<int> modes;
    for (int mode = 0; mode < kScanModeCount; ++mode) {
        if ((context.scanModeMask & (1 << mode)) != 0) {
            modes.push_back(mode);
        }
    }
    return modes;
}

void ScanModesInParallel(SearchContext& context, GlyphTemplateBank& bank,
                         const std::vector<int>& modes, int threadCount) {
    const int modeCount = static_cast<int>(modes.size());
    std::array<std::unique_ptr<BinaryImageIndex>, kScanModeCount> indexes;
    RunTasks(modeCount, threadCount, [&](int i) {
        BinariseMode(bank, modes[i]);
        indexes[modes[i]] = MakeModeIndex(bank, modes[i]);
    });

    std::vector<std::vector<GlyphHit>> templateHits(
        static_cast<std::size_t>(modeCount * kTemplatesPerMode));
    RunTasks(modeCount * kTemplatesPerMode, threadCount, [&](int task) {
        const int mode = modes[task / kTemplatesPerMode];
        const int g = kSearchTemplates[task % kTemplatesPerMode];
        CollectGlyphHits(bank, mode, g, indexes[mode].get(),
                         templateHits[static_cast<std::size_t>(task)]);
    });

    for (int i = 0; i < modeCount; ++i) {
        std::vector<GlyphHit> hits;
        for (int k = 0; k < kTemplatesPerMode; ++k) {
            const std::vector<GlyphHit>& found =
                templateHits[static_cast<std::size_t>(i * kTemplatesPerMode + k)];
            hits.insert(hits.end(), found.begin(), found.end());
        }
        SortHitsByX(hits);
        GroupHits(context, bank, modes[i], hits, kMinGroupSize, kMaxGroupSize, kHeightTolerance);
    }
}

}  // namespace

void ScanModes(SearchContext& context, GlyphTemplateBank& bank, int threadCount) {
    const std::vector<int> modes = EnabledModes(context);
    if (threadCount > 1 && bank.correlationPath == CorrelationPath::Fast) {
        ScanModesInParallel(context, bank, modes, threadCount);
    } else {
        for (int mode : modes) {
            BinariseMode(bank, mode);
            SearchGlyphs(context, bank, mode, kMinGroupSize, kMaxGroupSize, kHeightTolerance);
        }
    }
    RemoveDuplicateCandidates(context);
}

}  // namespace kalvero
