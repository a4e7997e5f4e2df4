#pragma once
#include <memory>
#include <string>

#include "recognition_common/RecognitionEngine.h"
#include "recognition_common/ZoneReader.h"

namespace kalvero {

class RecognitionTrace;

// How the run loop wants its zone reader made.
struct ZoneReaderChoice {
    RecognitionEngine engine = RecognitionEngine::Glyph;
    // Glyph engine: observes every zone read (may be null).
    RecognitionTrace* trace = nullptr;
    // Learned engine: also read the glyph search's candidate regions as
    // lines (LineReaderSettings::useGlyphRegions), found by the glyph
    // engine's GlyphRegionBoxes.
    bool learnedUsesGlyphRegions = false;
};

// The one place that knows both engines: makes the zone reader `choice`
// names. The learned engine reads with the calling thread's network
// (ThreadLineReader), loaded the first time the thread asks for it; when it
// cannot be loaded, `error` says why and the glyph engine's reader is made
// instead. The reader must be used on the calling thread only.
std::unique_ptr<ZoneReader> MakeZoneReader(const ZoneReaderChoice& choice, std::string& error);

}  // namespace kalvero
