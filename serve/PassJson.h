#pragma once
#include <string>
#include <vector>

#include "cli/JsonLine.h"
#include "serve/StoredPass.h"

namespace kalvero {

// A stored pass as the API shows it: `id`, `number`, `corrected_number`
// and `corrected_at` (null until corrected), `camera`, the times, frames,
// direction, score and check digit, then the other fields of the pass's
// record (a camera address in "file" without its password), and, with
// `withScores`, `scores` as [frame, score] pairs.
JsonValue PassJson(const StoredPass& pass, bool withScores);

// One pass, or an array of passes, as JSON text on one line.
std::string PassJsonText(const StoredPass& pass, bool withScores);
std::string PassListJsonText(const std::vector<StoredPass>& passes);

}  // namespace kalvero
