#pragma once
#include <string>

#include "worker/FrameSink.h"

namespace kalvero {

// `text` as a JSON string literal, quotes included. Control characters are
// escaped; bytes that are not valid UTF-8 become U+FFFD so the output stays
// valid JSON whatever a reading contains.
std::string JsonString(const std::string& text);

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

}  // namespace kalvero
