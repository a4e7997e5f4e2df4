#pragma once
#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

#include "recognition_common/RecognitionEngine.h"

namespace kalvero {

class RecognitionTrace;
struct RecognitionResult;

// Argument of the per-frame recognition entry.
struct RecognitionSettings {
    std::int32_t digitHeight = 29;
    bool requireFullNumber = true;
    // Optional observer (see RecognitionTrace); null costs nothing. With an
    // observer the candidate regions are read one after another on the
    // calling thread, so that it hears about them in order.
    RecognitionTrace* trace = nullptr;
    // Threads of one call (the calling thread included).
    // 0 or less: automatic, one per hardware thread for zones of 100,000
    // pixels or more and the calling thread alone for smaller ones. The
    // readings do not depend on it.
    int threadCount = 0;
};

// One reading of a frame: text, box in zone-image pixels and score.
struct FrameResultEntry {
    char name[20] = {};
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    float score = 0.0f;
};

// The readings of a frame, best first; empty when nothing was read.
struct FrameResult {
    std::vector<FrameResultEntry> entries;
    // The engine that read them.
    RecognitionEngine engine = RecognitionEngine::Glyph;
    std::int32_t count() const { return static_cast<std::int32_t>(entries.size()); }
};

// The glyph engine's entry: finds candidate number regions in the zone
// image, reads them and returns the merged readings sorted by score, at most
// 100. A zone that cannot hold a scaled glyph template (W + 2 columns, h + 2
// rows, W = (int)(0.62 h)), an empty zone, a digit height below 1 or an
// image that is not 8-bit grey or BGR gives no reading without scanning.
FrameResult RecognizeFrame(cv::Mat zoneImage, const RecognitionSettings& settings);

// True when `zone` can be read at `digitHeight`: an 8-bit grey or BGR image
// that holds a whole scaled glyph template (W + 2 columns, h + 2 rows).
// The glyph engine reads nothing from a zone that cannot.
bool ZoneCanBeSearched(const cv::Mat& zone, int digitHeight);

// The entries for a list of readings, in list order; a reading whose text
// does not fit an entry's name (more than 19 characters) is dropped.
FrameResult MakeFrameResult(const std::vector<RecognitionResult>& readings);

}  // namespace kalvero
