#include "detection/RegionFilters.h"

#include <algorithm>
#include <cstdlib>

namespace kalvero {

namespace {

// The glyph reader's fixed narrowest region: anything narrower than five
// pixels cannot hold a digit at any searchable height.
constexpr int kMinRegionWidth = 5;

// Overlap of two boxes; width and height 0 when they do not overlap.
cv::Rect Intersection(const cv::Rect& a, const cv::Rect& b) {
    const int left = std::max(a.x, b.x);
    const int top = std::max(a.y, b.y);
    const int right = std::min(a.x + a.width, b.x + b.width);
    const int bottom = std::min(a.y + a.height, b.y + b.height);
    if (right - left <= 0 || bottom - top <= 0) {
        return cv::Rect(left, top, 0, 0);
    }
    return cv::Rect(left, top, right - left, bottom - top);
}

cv::Rect BoundingBox(const cv::Rect& a, const cv::Rect& b) {
    const int left = std::min(a.x, b.x);
    const int top = std::min(a.y, b.y);
    const int right = std::max(a.x + a.width, b.x + b.width);
    const int bottom = std::max(a.y + a.height, b.y + b.height);
    return cv::Rect(left, top, right - left, bottom - top);
}

double Area(const cv::Rect& r) {
    return static_cast<double>(r.width) * static_cast<double>(r.height);
}

// Compares region q with every other region once; returns whether any
// region was removed. q may move down when an earlier region goes.
bool CleanUpAround(std::vector<cv::Rect>& regions, std::size_t& q, double minArea) {
    bool removed = false;
    std::size_t r = 0;
    while (r < regions.size()) {
        if (r == q || regions[r].width >= regions[q].width) {
            ++r;
            continue;
        }
        cv::Rect& big = regions[q];
        const cv::Rect& small = regions[r];
        const cv::Rect overlap = Intersection(big, small);
        const double overlapArea = Area(overlap);
        if (overlapArea <= 0.0) {
            ++r;
            continue;
        }
        if (overlapArea >= minArea && big.height * 0.2 > std::abs(big.y - small.y) &&
            small.width * 0.2 > overlap.width) {
            const int right = big.x + big.width;
            const int left = std::min(big.x, small.x);
            const int top = std::min(big.y, small.y);
            const int bottom = std::max(big.y + big.height, small.y + small.height);
            big = cv::Rect(left, top, right - left, bottom - top);
        }
        regions.erase(regions.begin() + static_cast<std::ptrdiff_t>(r));
        if (r < q) {
            --q;
        }
        removed = true;
    }
    return removed;
}

}  // namespace

void FilterRegionsByArea(std::vector<cv::Rect>& regions, double minArea, double maxArea) {
    regions.erase(std::remove_if(regions.begin(), regions.end(),
                                 [&](const cv::Rect& r) {
                                     const double area = Area(r);
                                     return area < minArea || area > maxArea;
                                 }),
                  regions.end());
}

void CleanUpOverlaps(std::vector<cv::Rect>& regions, double minArea) {
    bool again = true;
    while (again) {
        again = false;
        std::size_t q = 0;
        while (q < regions.size()) {
            if (regions[q].width < kMinRegionWidth) {
                regions.erase(regions.begin() + static_cast<std::ptrdiff_t>(q));
                continue;
            }
            if (CleanUpAround(regions, q, minArea)) {
                again = true;
            }
            ++q;
        }
    }
}

void MergeNeighbours(std::vector<cv::Rect>& regions, int dy, int dx) {
    bool again = true;
    while (again) {
        again = false;
        for (std::size_t p = 0; p < regions.size(); ++p) {
            std::size_t q = 0;
            while (q < regions.size()) {
                const cv::Rect& a = regions[p];
                const cv::Rect& b = regions[q];
                if (q == p || std::abs(a.y - b.y) >= dy || std::abs(a.x + a.width - b.x) >= dx) {
                    ++q;
                    continue;
                }
                regions[p] = BoundingBox(a, b);
                regions.erase(regions.begin() + static_cast<std::ptrdiff_t>(q));
                if (q < p) {
                    --p;
                }
                again = true;
            }
        }
    }
}

void FilterRegionsByShape(std::vector<cv::Rect>& regions, int digitHeight, int glyphWidth) {
    const double h = digitHeight;
    regions.erase(std::remove_if(regions.begin(), regions.end(),
                                 [&](const cv::Rect& r) {
                                     const bool widthOk =
                                         5 * glyphWidth <= r.width && r.width <= 14 * glyphWidth;
                                     const bool heightOk = 0.8 * h <= r.height && r.height <= 3.0 * h;
                                     return !(widthOk && heightOk);
                                 }),
                  regions.end());
}

cv::Rect EnlargeRegion(const cv::Rect& region, cv::Size imageSize) {
    cv::Rect r = region;
    r.y = r.y >= 1 ? r.y - 1 : 0;
    r.x = r.x >= 1 ? r.x - 1 : 0;
    r.width += 2;
    if (r.x + r.width > imageSize.width - 1) {
        r.width = imageSize.width - r.x - 1;
    }
    r.height += 2;
    if (r.y + r.height > imageSize.height - 1) {
        r.height = imageSize.height - r.y - 1;
    }
    return r;
}

}  // namespace kalvero
