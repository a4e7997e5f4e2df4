#pragma once
#include <algorithm>
#include <cctype>
#include <iterator>
#include <string>

namespace kalvero {

// The file extensions read as one still picture rather than as a video:
// png, jpg, jpeg, bmp, tif, tiff. One list for the run loop's frame source,
// the sample maker and the reader's help, so that what one of them takes
// for a still the others do too.
//
// True when `extension` (without the dot, any letter case) is one of them.
inline bool IsStillImageExtension(const std::string& extension) {
    static const char* const kStillExtensions[] = {"png", "jpg", "jpeg", "bmp", "tif", "tiff"};
    std::string lower = extension;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(std::begin(kStillExtensions), std::end(kStillExtensions), lower) != std::end(kStillExtensions);
}

}  // namespace kalvero
