#pragma once

namespace kalvero {

struct SearchContext;

// Removes every candidate whose box is identical to another candidate's that
// comes earlier in the list; the earliest of equal boxes survives whatever
// its type code.
void RemoveDuplicateCandidates(SearchContext& context);

}  // namespace kalvero
