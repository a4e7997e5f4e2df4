#pragma once
#include <cstdint>

namespace kalvero {

// Type codes of candidate regions. The detector writes 300 + scan mode; 100
// marks a speed-limit sign region.
constexpr std::int32_t kSignTypeCode = 100;
constexpr std::int32_t kNumberTypeCodeBase = 300;

// A region of the zone image handed to a recogniser.
struct CandidateRegion {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t typeCode = 0;
    std::int32_t reserved[4] = {0, 0, 0, 0};
    float reservedValue = 0.0f;
};

inline bool SameBox(const CandidateRegion& a, const CandidateRegion& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

}  // namespace kalvero
