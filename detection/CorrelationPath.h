#pragma once

namespace kalvero {

// How the template correlations of a frame are searched. Both ways compute
// the same exact values (TemplateCorrelation.h) and so give the same
// readings.
enum class CorrelationPath {
    // Windows whose foreground counts show that they cannot reach the value
    // that matters are skipped (BinaryTemplateSearch.h); the detector spreads
    // independent work over threads.
    Fast,
    // Every correlation map is computed in full, on the calling thread.
    Reference,
};

}  // namespace kalvero
