#pragma once
#include <string>

namespace kalvero {

// The file extensions read as one still picture rather than as a video:
// png, jpg, jpeg, bmp, tif, tiff. One list for the run loop's frame source,
// the sample maker and the reader's help, so that what one of them takes
// for a still the others do too.
//
// True when `extension` (without the dot, any letter case) is one of them.
bool IsStillImageExtension(const std::string& extension);

}  // namespace kalvero
