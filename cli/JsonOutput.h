#pragma once
#include <string>

#include "cli/JsonLine.h"
#include "worker/FrameSink.h"

namespace kalvero {

// A float as a JSON number with three decimals; null when not finite.
std::string JsonNumber(double value);

// Milliseconds as a JSON number with two decimals; null when not finite.
std::string JsonMilliseconds(double value);

// One frame as a single-line JSON object:
// {"frame": N, "time_ms": T, "readings": [{"text": "...", "x": X, "y": Y,
//  "width": W, "height": H, "score": S, "check_digit": true|false,
//  "engine": "glyph"|"learned"[, "digit_scores": [..8 values..]]}, ...],
//  "confirmed": "..." or null}
// T is the recognition time in milliseconds with two decimals; the learned
// engine's readings carry the confidence of each digit.
// Boxes are in frame coordinates (the zone origin added); `confirmed` is the
// banner text when the vote confirmed a number in this frame.
// With `file`, the object ends with "file": the input the frame came from.
std::string FrameJsonLine(const FrameReport& report, const std::string* file = nullptr);

// The same object as a value, before it is laid out (FrameJsonLine).
JsonValue FrameJson(const FrameReport& report, const std::string* file = nullptr);

}  // namespace kalvero
