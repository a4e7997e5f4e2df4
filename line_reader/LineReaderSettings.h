#pragma once

namespace kalvero {

// Argument of the learned engine's per-zone entry (ReadLines).
struct LineReaderSettings {
    // Expected digit height in zone pixels. The engine measures the real
    // height of the digits it finds, so a value off by up to 30 % still
    // reads. 0 (the default): not known, every height from 10 to 250
    // pixels is searched. Negative, 1 to 3, or above twice the zone's
    // larger side: no reading.
    int digitHeight = 0;
    // Also read the candidate regions of the glyph search (detection/) as
    // lines. It costs a glyph search per call (about 2-3 ms on a 390 x 90
    // zone), hence off by default.
    bool useGlyphRegions = false;
    // Most lines read per zone (all in one forward pass): the best ranked
    // proposals are kept. Bounds the time of a cluttered zone.
    int maxLines = 6;
};

}  // namespace kalvero
