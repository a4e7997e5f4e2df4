#pragma once
#include <cstdint>

#include "detection/RecognizeFrame.h"

namespace kalvero {

// Room for codes in a parameter block: the glyph reader's fixed table size.
constexpr int kMaxDetectionCodes = 100;

// Parameter block of one recognition call, derived from the settings and
// copied by value into the detector.
struct DetectionParams {
    // Valid entries of `codes`; copied with the codes into every
    // RecognitionContext. Never larger than the table.
    std::int32_t codeCount = 0;
    // The first code becomes the type code of every reading of the frame.
    std::int32_t codes[kMaxDetectionCodes] = {};
    // Bit i enables scan mode i; 10 runs modes 1 and 3.
    std::int32_t scanModeMask = 0;
    // Largest accepted area of a grouped region (pixels^2); the smallest is
    // 3 % of it.
    double maxArea = 0.0;
    double digitHeight = 0.0;
    // Most readings handed back per frame.
    std::int32_t maxResults = 0;
    // Bit of value 2: only 8-character readings pass the dispatch.
    std::int32_t recognitionFlags = 0;
};

// The window's fixed call: modes 1 and 3 (light and dark digits at the
// stricter offset), up to 100 readings a frame, and the flag bit that keeps
// only whole eight-digit numbers.
constexpr std::int32_t kDefaultScanModeMask = 10;
constexpr std::int32_t kDefaultMaxResults = 100;
constexpr std::int32_t kFlagRequireFullNumber = 2;

// The parameter block for digit height h: one code (the sign code 100), scan
// modes 1 and 3, maxArea 11 h^2, 100 results, flags 3 (full numbers only) or 1.
DetectionParams MakeDetectionParams(const RecognitionSettings& settings);

}  // namespace kalvero
