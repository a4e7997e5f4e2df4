#include "detection/HitChains.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include <opencv2/imgproc.hpp>

namespace kalvero {

namespace {

// Whether H may follow T in a chain (the gap limit is checked by the caller).
bool IsFollower(const GlyphHit& tail, const GlyphHit& hit, float gap, float heightTolerance) {
    const float tailWidth = static_cast<float>(tail.width);
    const float tailHeight = static_cast<float>(tail.height);
    if (!(gap >= -0.1f * tailWidth)) {
        return false;
    }
    if (!(std::fabs(static_cast<float>(tail.height - hit.height)) <= tailHeight * heightTolerance)) {
        return false;
    }
    return std::abs(static_cast<double>(hit.y - tail.y)) <= 0.2 * tail.height;
}

// The follower closest to the tail by |dx| + 2 |dy|; the earliest on ties.
int NearestFollower(const std::vector<GlyphHit>& hits, const GlyphHit& tail,
                    const std::vector<int>& followers) {
    int best = followers.front();
    long bestDistance = LONG_MAX;
    for (int f : followers) {
        const long distance = std::labs(static_cast<long>(hits[f].x) - tail.x) +
                              2 * std::labs(static_cast<long>(hits[f].y) - tail.y);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = f;
        }
    }
    return best;
}

HitChain BuildChain(const std::vector<GlyphHit>& hits, int seed, int maxGroupSize,
                    float heightTolerance) {
    const int n = static_cast<int>(hits.size());
    HitChain chain{seed};
    std::vector<int> followers;
    followers.reserve(kMaxFollowers);
    int c = seed + 1;
    for (;;) {
        const GlyphHit& tail = hits[chain.back()];
        while (c < n) {
            const GlyphHit& hit = hits[c];
            const float gap = static_cast<float>(hit.x - (tail.x + tail.width));
            if (gap > 1.6f * static_cast<float>(tail.width) ||
                static_cast<int>(followers.size()) == kMaxFollowers) {
                break;
            }
            if (IsFollower(tail, hit, gap, heightTolerance)) {
                followers.push_back(c);
            }
            ++c;
        }
        if (followers.empty()) {
            return chain;
        }
        chain.push_back(NearestFollower(hits, tail, followers));
        if (static_cast<int>(chain.size()) >= maxGroupSize) {
            return chain;
        }
        // Resume |F| - 1 positions before the stop, so that the hits looked at
        // last are considered again from the new tail.
        c = c - static_cast<int>(followers.size()) + 1;
        followers.clear();
    }
}

}  // namespace

std::vector<HitChain> BuildHitChains(const std::vector<GlyphHit>& hits, int maxGroupSize,
                                     float heightTolerance) {
    std::vector<HitChain> chains;
    chains.reserve(hits.size());
    for (int s = 0; s < static_cast<int>(hits.size()); ++s) {
        chains.push_back(BuildChain(hits, s, maxGroupSize, heightTolerance));
    }
    return chains;
}

cv::Rect ChainRegion(const std::vector<GlyphHit>& hits, const HitChain& chain) {
    std::vector<cv::Point> corners;
    corners.reserve(chain.size() * 4);
    for (int index : chain) {
        const GlyphHit& hit = hits[index];
        corners.emplace_back(hit.x, hit.y);
        corners.emplace_back(hit.x + hit.width, hit.y);
        corners.emplace_back(hit.x, hit.y + hit.height);
        corners.emplace_back(hit.x + hit.width, hit.y + hit.height);
    }
    cv::Point2f boxCorners[4];
    cv::minAreaRect(corners).points(boxCorners);

    int minX = INT_MAX, minY = INT_MAX, maxX = INT_MIN, maxY = INT_MIN;
    for (const cv::Point2f& p : boxCorners) {
        // Default rounding mode: to nearest, halfway cases to even.
        const int x = static_cast<int>(std::nearbyint(p.x));
        const int y = static_cast<int>(std::nearbyint(p.y));
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x);
        maxY = std::max(maxY, y);
    }
    return cv::Rect(minX, minY, maxX - minX + 1, maxY - minY + 1);
}

}  // namespace kalvero
