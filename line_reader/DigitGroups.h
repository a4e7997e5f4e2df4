#pragma once
#include <vector>

#include "line_reader/BlobRows.h"

namespace kalvero {

// Widest gap between two digit groups of one number, in digit heights:
// numbers are painted in groups ("5241 8396", "52 4730 63") up to 3.5
// digit pitches apart (a digit and its space, about 0.75 of its height),
// plus the space between the groups' edge digits and their ink.
constexpr float kMaxGroupGap = 3.4f;

// Rows of digit groups on one line: each row of `rows` (left to right by
// their first blob, as GroupBlobRows gives them) is followed by the nearest
// row that starts after it within kMaxGroupGap digit heights, whose digits
// are of about the same height (within a third) and whose first blob's
// centre lies on its line (within a third of a height, plus what 3 degrees
// more or less of tilt make of the distance), and so on while the blobs number at most
// `maxBlobs`. Every chain of two or more groups that has from `minBlobs` to
// `maxBlobs` blobs is a row of its own: the blobs of its groups in order,
// with their line (FitRowLine) and box. Chains come out by their first
// group, shorter first.
std::vector<BlobRow> JoinDigitGroups(const std::vector<BlobRow>& rows, int minBlobs, int maxBlobs);

}  // namespace kalvero
