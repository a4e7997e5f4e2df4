#pragma once
#include <array>

namespace kalvero {

// Constant data of the two digit shape classifiers. Both know nine classes,
// the digits of "023456789" in that order; there is no class for 1.
constexpr int kShapeClassCount = 9;
constexpr int kProbeCount = 28;
constexpr int kZoneColumns = 5;
constexpr int kZoneRows = 10;
constexpr int kZoneCells = kZoneColumns * kZoneRows;

// The digits of the classes, in class order.
constexpr char kShapeClassDigits[] = "023456789";

// A probe segment in box-relative units: x as a fraction of the box width,
// y as a fraction of its height.
struct ProbeSegment {
    float x1, y1, x2, y2;
};

// The 28 probe segments: the strokes of a segment-display digit with
// diagonals.
const std::array<ProbeSegment, kProbeCount>& ProbeSegments();

// Per class the expected state of every probe: 'C' covered by ink, 'E'
// empty, '-' neither (the flag pair stays 0, 0).
const std::array<const char*, kShapeClassCount>& ProbePrototypes();

// Per class the reference ink density of a 5 x 10 grid over the glyph box,
// row by row from the top.
using ZoneGrid = std::array<float, kZoneCells>;
const std::array<ZoneGrid, kShapeClassCount>& ZoneReferenceGrids();

}  // namespace kalvero
