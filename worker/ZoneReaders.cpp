#include "worker/ZoneReaders.h"

#include "detection/GlyphRegionBoxes.h"
#include "detection/GlyphZoneReader.h"
#include "line_reader/LearnedZoneReader.h"

namespace kalvero {

std::unique_ptr<ZoneReader> MakeZoneReader(const ZoneReaderChoice& choice, LineReader* network) {
    if (choice.engine == RecognitionEngine::Learned && network != nullptr) {
        LineReaderSettings settings;
        settings.useGlyphRegions = choice.learnedUsesGlyphRegions;
        if (choice.learnedUsesGlyphRegions) settings.glyphRegions = GlyphRegionBoxes;
        settings.requireCheckDigit = choice.learnedRequiresCheckDigit;
        return std::make_unique<LearnedZoneReader>(*network, std::move(settings));
    }
    return std::make_unique<GlyphZoneReader>(choice.trace);
}

}  // namespace kalvero
