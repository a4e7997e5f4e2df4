#pragma once

namespace kalvero {

// Digit heights, in pixels of the image read, that the learned engine finds
// without being told: from the smallest a 1080p camera's wide view paints
// to the largest of a 4K close-up.
constexpr int kMinSearchedDigitHeight = 10;
constexpr int kMaxSearchedDigitHeight = 250;

// The digit heights one search looks for, both ends included.
struct DigitHeightRange {
    int min = kMinSearchedDigitHeight;
    int max = kMaxSearchedDigitHeight;

    bool empty() const { return max < min; }
};

}  // namespace kalvero
