#include "recognition_common/ClipRect.h"

#include <algorithm>
#include <cstdint>

namespace kalvero {

cv::Rect ClipRect(const cv::Rect& rect, const cv::Size& size) {
    const std::int64_t x0 = std::max<std::int64_t>(rect.x, 0);
    const std::int64_t y0 = std::max<std::int64_t>(rect.y, 0);
    const std::int64_t x1 = std::min<std::int64_t>(std::int64_t{rect.x} + rect.width, size.width);
    const std::int64_t y1 = std::min<std::int64_t>(std::int64_t{rect.y} + rect.height, size.height);
    if (x1 <= x0 || y1 <= y0) return cv::Rect();
    return cv::Rect(static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
                    static_cast<int>(y1 - y0));
}

}  // namespace kalvero
