#pragma once
#include <optional>
#include <string>
#include <vector>

#include "cli/CarriagePass.h"

namespace kalvero {

// The passes block that closes the text summary, one line per pass in the
// order given:
//   "Carriage passes: 2"
//   "  1. 52473063  frames 3-25, 0.080-0.960 s, confirmed in frame 7, read in
//    23 frames, best score 0.998 in frame 12, moving left, check digit holds"
// Nothing when there are none (the summary above already says that no
// number was confirmed). With `withFile` each line
// names its file after the number ("  1. 52473063  a.mp4  frames ...").
// A pass with times of day gives them after its seconds ("0.080-0.960 s,
// 2026-12-08 11:00:00.080 +01:00 to 11:00:00.960"), at `utcOffsetMinutes`
// when given, else in the local time zone (SummaryTimeText).
std::string PassSummary(const std::vector<CarriagePass>& passes, bool withFile,
                        const std::optional<int>& utcOffsetMinutes = std::nullopt);

}  // namespace kalvero
