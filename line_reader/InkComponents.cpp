#include "line_reader/InkComponents.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include <opencv2/imgproc.hpp>

namespace kalvero {

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHighs = 0x8080808080808080ull;

inline std::uint64_t Load8(const std::uint8_t* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// True when one of the eight bytes is 0.
inline bool HasZeroByte(std::uint64_t word) { return ((word - kOnes) & ~word & kHighs) != 0; }

// Appends the runs of non-zero bytes of one row. Eight bytes at a time are
// passed over while all are 0 (ground) or none is (inside a run).
void AddRowRuns(const std::uint8_t* row, int cols, int y, std::vector<InkRun>& runs) {
    int x = 0;
    while (x < cols) {
        while (x + 8 <= cols && Load8(row + x) == 0) x += 8;
        while (x < cols && row[x] == 0) ++x;
        if (x >= cols) break;
        const int start = x;
        while (x + 8 <= cols && !HasZeroByte(Load8(row + x))) x += 8;
        while (x < cols && row[x] != 0) ++x;
        runs.push_back(InkRun{y, start, x, 0});
    }
}

int Root(std::vector<int>& parent, int i) {
    while (parent[static_cast<std::size_t>(i)] != i) {
        const int grand = parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(i)])];
        parent[static_cast<std::size_t>(i)] = grand;
        i = grand;
    }
    return i;
}

// Joins two sets; the root is the earlier run, so a component's root is
// its first run in raster order.
void Join(std::vector<int>& parent, int a, int b) {
    a = Root(parent, a);
    b = Root(parent, b);
    if (a == b) return;
    if (a < b) {
        parent[static_cast<std::size_t>(b)] = a;
    } else {
        parent[static_cast<std::size_t>(a)] = b;
    }
}

}  // namespace

InkComponents LabelInkComponents(const cv::Mat& mask) {
    InkComponents result;
    if (mask.empty() || mask.dims != 2 || mask.type() != CV_8UC1) return result;
    result.rowStart.assign(static_cast<std::size_t>(mask.rows) + 1, 0);
    for (int y = 0; y < mask.rows; ++y) {
        result.rowStart[static_cast<std::size_t>(y)] = static_cast<int>(result.runs.size());
        AddRowRuns(mask.ptr<std::uint8_t>(y), mask.cols, y, result.runs);
    }
    result.rowStart[static_cast<std::size_t>(mask.rows)] = static_cast<int>(result.runs.size());

    // Runs of neighbouring rows touch (8-connectivity) when each starts no
    // later than one column past the other's last pixel.
    std::vector<int> parent(result.runs.size());
    for (std::size_t i = 0; i < parent.size(); ++i) parent[i] = static_cast<int>(i);
    for (int y = 1; y < mask.rows; ++y) {
        int above = result.rowStart[static_cast<std::size_t>(y - 1)];
        const int aboveEnd = result.rowStart[static_cast<std::size_t>(y)];
        const int end = result.rowStart[static_cast<std::size_t>(y + 1)];
        for (int i = aboveEnd; i < end; ++i) {
            const InkRun& run = result.runs[static_cast<std::size_t>(i)];
            // Runs above that end left of this one cannot touch it or any later one.
            while (above < aboveEnd && result.runs[static_cast<std::size_t>(above)].end < run.start) ++above;
            for (int j = above; j < aboveEnd && result.runs[static_cast<std::size_t>(j)].start <= run.end; ++j) {
                Join(parent, i, j);
            }
        }
    }

    std::vector<int> componentOf(result.runs.size(), -1);
    for (std::size_t i = 0; i < result.runs.size(); ++i) {
        InkRun& run = result.runs[i];
        const int root = Root(parent, static_cast<int>(i));
        int& component = componentOf[static_cast<std::size_t>(root)];
        if (component < 0) {
            component = static_cast<int>(result.components.size());
            result.components.push_back(InkComponent{cv::Rect(run.start, run.y, run.end - run.start, 1), 0});
        }
        run.component = component;
        InkComponent& c = result.components[static_cast<std::size_t>(component)];
        const int left = std::min(c.box.x, run.start);
        const int right = std::max(c.box.x + c.box.width, run.end);
        c.box.x = left;
        c.box.width = right - left;
        c.box.height = run.y - c.box.y + 1;  // runs come top to bottom
        c.area += run.end - run.start;
    }
    return result;
}

std::vector<ColumnInkExtent> InkComponents::ColumnExtents(int component, const cv::Rect& box) const {
    std::vector<ColumnInkExtent> extents(static_cast<std::size_t>(std::max(0, box.width)));
    const int rows = static_cast<int>(rowStart.size()) - 1;
    for (int y = std::max(0, box.y); y < std::min(rows, box.y + box.height); ++y) {
        for (int i = rowStart[static_cast<std::size_t>(y)]; i < rowStart[static_cast<std::size_t>(y) + 1]; ++i) {
            const InkRun& run = runs[static_cast<std::size_t>(i)];
            if (run.component != component) continue;
            const int from = std::max(run.start, box.x);
            const int to = std::min(run.end, box.x + box.width);
            for (int x = from; x < to; ++x) {
                ColumnInkExtent& column = extents[static_cast<std::size_t>(x - box.x)];
                ++column.ink;
                column.top = std::min(column.top, y);
                column.bottom = y;  // rows come in order
            }
        }
    }
    return extents;
}

InkComponent InkWithinColumns(const std::vector<ColumnInkExtent>& extents, int left, int from, int to) {
    int first = -1, last = -1, top = INT32_MAX, bottom = -1, area = 0;
    for (int x = std::max(0, from); x < std::min(static_cast<int>(extents.size()), to); ++x) {
        const ColumnInkExtent& column = extents[static_cast<std::size_t>(x)];
        if (column.ink == 0) continue;
        if (first < 0) first = x;
        last = x;
        area += column.ink;
        top = std::min(top, column.top);
        bottom = std::max(bottom, column.bottom);
    }
    if (area == 0) return InkComponent{};
    return InkComponent{cv::Rect(left + first, top, last - first + 1, bottom - top + 1), area};
}

InkComponent InkComponents::Within(int component, const cv::Rect& box) const {
    int left = box.x + box.width, right = box.x, top = box.y + box.height, bottom = box.y - 1, area = 0;
    const int rows = static_cast<int>(rowStart.size()) - 1;
    for (int y = std::max(0, box.y); y < std::min(rows, box.y + box.height); ++y) {
        for (int i = rowStart[static_cast<std::size_t>(y)]; i < rowStart[static_cast<std::size_t>(y) + 1]; ++i) {
            const InkRun& run = runs[static_cast<std::size_t>(i)];
            if (run.component != component) continue;
            const int from = std::max(run.start, box.x);
            const int to = std::min(run.end, box.x + box.width);
            if (from >= to) continue;
            area += to - from;
            left = std::min(left, from);
            right = std::max(right, to);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (area == 0) return InkComponent{};
    return InkComponent{cv::Rect(left, top, right - left, bottom - top + 1), area};
}

std::vector<InkComponent> LabelInkComponentsReference(const cv::Mat& mask) {
    std::vector<InkComponent> components;
    if (mask.empty() || mask.dims != 2 || mask.type() != CV_8UC1) return components;
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 8, CV_32S, cv::CCL_BBDT);
    for (int i = 1; i < count; ++i) {
        const int* s = stats.ptr<int>(i);
        components.push_back(InkComponent{
            cv::Rect(s[cv::CC_STAT_LEFT], s[cv::CC_STAT_TOP], s[cv::CC_STAT_WIDTH], s[cv::CC_STAT_HEIGHT]),
            s[cv::CC_STAT_AREA]});
    }
    return components;
}

}  // namespace kalvero
