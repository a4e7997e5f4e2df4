#include "worker/StillImageFormats.h"

#include <algorithm>
#include <cctype>

namespace kalvero {

bool IsStillImageExtension(const std::string& extension) {
    static const char* const kStillExtensions[] = {"png", "jpg", "jpeg", "bmp", "tif", "tiff"};
    std::string lower = extension;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(std::begin(kStillExtensions), std::end(kStillExtensions), lower) != std::end(kStillExtensions);
}

}  // namespace kalvero
