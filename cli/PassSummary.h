#pragma once
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
std::string PassSummary(const std::vector<CarriagePass>& passes, bool withFile);

}  // namespace kalvero
