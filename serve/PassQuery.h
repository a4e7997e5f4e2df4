#pragma once
#include <string>

namespace kalvero {

// A search over the stored passes; an empty field does not narrow it.
// Results come newest first (by start time, then id).
struct PassQuery {
    std::string number;   // any part of the read or the corrected number
    std::string camera;   // the camera's name, exactly
    std::string from;     // ISO 8601 UTC: passes that start at or after it
    std::string to;       // ISO 8601 UTC: passes that start before or at it
    int limit = 100;      // at most this many, 1..10000
    int offset = 0;       // after skipping this many (paging)
    bool withCrops = false;  // fill StoredPass::cropPng (costly; lists leave it out)
};

}  // namespace kalvero
