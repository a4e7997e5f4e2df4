#include "worker/ZoneReaders.h"

#include "detection/GlyphRegionBoxes.h"
#include "detection/GlyphZoneReader.h"
#include "line_reader/LearnedZoneReader.h"
#include "line_reader/ThreadLineReader.h"

namespace kalvero {

std::unique_ptr<ZoneReader> MakeZoneReader(const ZoneReaderChoice& choice, std::string& error) {
    if (choice.engine == RecognitionEngine::Learned) {
        if (LineReader* network = ThreadLineReader(error)) {
            LineReaderSettings settings;
            settings.useGlyphRegions = choice.learnedUsesGlyphRegions;
            if (choice.learnedUsesGlyphRegions) settings.glyphRegions = GlyphRegionBoxes;
            return std::make_unique<LearnedZoneReader>(*network, std::move(settings));
        }
    }
    return std::make_unique<GlyphZoneReader>(choice.trace);
}

}  // namespace kalvero
