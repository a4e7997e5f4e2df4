#include "tools/NoiseTile.h"

#include <algorithm>

namespace kalvero {

NoiseTile::NoiseTile(std::uint64_t seed, int side) : tile_(std::max(16, side), std::max(16, side), CV_32F) {
    cv::RNG rng(seed);
    rng.fill(tile_, cv::RNG::NORMAL, 0.0, 1.0);
}

cv::Mat NoiseTile::Window(cv::Size size, cv::RNG& rng) const {
    const int side = tile_.rows;
    if (size.width <= side && size.height <= side) {
        const int x = rng.uniform(0, side - size.width + 1);
        const int y = rng.uniform(0, side - size.height + 1);
        return tile_(cv::Rect(x, y, size.width, size.height));
    }
    cv::Mat out(size, CV_32F);
    const int dx = rng.uniform(0, side);
    const int dy = rng.uniform(0, side);
    for (int y = 0; y < size.height; ++y) {
        const float* src = tile_.ptr<float>((y + dy) % side);
        float* dst = out.ptr<float>(y);
        for (int x = 0; x < size.width; ++x) {
            dst[x] = src[(x + dx) % side];
        }
    }
    return out;
}

}  // namespace kalvero
