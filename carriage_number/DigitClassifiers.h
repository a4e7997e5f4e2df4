#pragma once
#include <array>
#include <cstdint>

#include <opencv2/core.hpp>

#include "carriage_number/ClassifierTables.h"

namespace kalvero {

// Per probe: is the segment covered by ink, is it empty (at most one of
// the two is set).
struct ProbeFeatures {
    struct Flags {
        std::uint8_t covered = 0;
        std::uint8_t empty = 0;
    };
    std::array<Flags, kProbeCount> probes{};
};

// Half width d of the band sampled across a probe in a w x h box: the band
// is 2d + 1 pixels wide.
int ProbeBandHalfWidth(int width, int height);

// The flags of one probe from its walk: `count` band positions with ink out
// of `n`, `sum` ink samples in all, bands 2d + 1 pixels wide.
ProbeFeatures::Flags FlagProbe(float count, float sum, float n, int d);

// Walks the 28 probes over the glyph box (strip pixels, positive size) and
// flags each one as covered or empty.
ProbeFeatures ExtractProbeFeatures(const cv::Mat& strip, const cv::Rect& box);

// Agreement of the features with every class prototype (higher is better)
// written to p; returns the best class.
int ClassifyByProbes(const ProbeFeatures& features, float p[kShapeClassCount]);

// Ink density of a 5 x 10 grid of cells over the box, row by row.
ZoneGrid ComputeZoneGrid(const cv::Mat& strip, const cv::Rect& box);

// Mean absolute difference of the box's zone grid to every class reference
// (lower is better), written to z.
void ClassifyByZones(const cv::Mat& strip, const cv::Rect& box, float z[kShapeClassCount]);

// Class k of "023456789" and the digit it stands for.
inline int DigitOfClass(int k) { return k == 0 ? 0 : k + 1; }
inline int ClassOfDigit(int d) { return d == 0 ? 0 : d - 1; }

}  // namespace kalvero
