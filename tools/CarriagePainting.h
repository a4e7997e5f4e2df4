#pragma once
#include <vector>

#include <opencv2/core.hpp>

#include "tools/NoiseTile.h"

namespace kalvero {

// How one carriage side is painted: colours and what else it carries.
struct PaintLook {
    bool lightDigits = true;  // light ink on darker paint, else dark on lighter
    double paint = 72.0;      // grey of the carriage paint
    double ink = 192.0;       // grey of the painted digits and words
    double texture = 10.0;    // grey amplitude of the paint's blotches
    double grime = 0.0;       // 0..1
    double wear = 0.0;        // 0..1, share of ink flaked off in blotches
    bool panel = false;       // the number sits on a rectangle of its own paint
    double panelPaint = 72.0; // grey of that rectangle
    bool rivets = false;
    bool seams = false;
    bool ribs = false;
    bool stripe = false;
    double stripePaint = 0.0;
};

// A varied look: polarity, paint and ink greys at least 45 levels apart,
// texture, grime, wear, and each decoration with its own chance.
PaintLook RandomPaintLook(cv::RNG& rng);

// Faded paint: the digits only `contrast` grey levels from the paint under
// them (lighter or darker as the look has them, the other way where that
// would leave the grey range), little of them flaked off, and the paint's
// own mottling well below that contrast, so that across a number the
// digits keep most of it rather than vanishing into a blotch.
void FadePaint(PaintLook& look, double contrast);

// Something painted on the side: an ink mask (8-bit, 255 ink) with its top
// left corner in side pixels. The first item is the one a panel frames.
struct PaintItem {
    cv::Mat mask;
    cv::Point at;
    double inkScale = 1.0;  // 1: the look's ink; smaller: nearer the paint
};

// A carriage side of `size` (32-bit float grey): textured paint, the panel,
// seams, rivets, ribs and a stripe kept clear of the items' boxes (grown by
// `clearance` pixels), the items inked with wear, then grime over all of it.
cv::Mat PaintCarriageSide(cv::Size size, const PaintLook& look, const std::vector<PaintItem>& items,
                          double clearance, const NoiseTile& noise, cv::RNG& rng);

}  // namespace kalvero
