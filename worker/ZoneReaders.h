#pragma once
#include <memory>
#include <string>

#include "recognition_common/RecognitionEngine.h"
#include "recognition_common/ZoneReader.h"

namespace kalvero {

class LineReader;
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
    // Learned engine: keep only readings whose check digit holds
    // (LineReaderSettings::requireCheckDigit), under the check-digit rule.
    bool learnedRequiresCheckDigit = false;
};

// The one place that knows both engines: makes the zone reader `choice`
// names. The learned engine reads with `network`, which must outlive the
// reader and be used by one thread at a time; without one (it could not be
// loaded) the glyph engine's reader is made instead.
std::unique_ptr<ZoneReader> MakeZoneReader(const ZoneReaderChoice& choice, LineReader* network);

}  // namespace kalvero
