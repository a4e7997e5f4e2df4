#include "recognition_common/LongRuns.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

namespace kalvero {

namespace {

// Turns the mask into 0/1 ink flags per the rule.
inline std::uint8_t InkFlag(std::uint8_t value, InkPixels ink) {
    return ink == InkPixels::FullValue ? static_cast<std::uint8_t>(value == 255) : static_cast<std::uint8_t>(value != 0);
}

constexpr std::uint64_t kLowSeven = 0x7f7f7f7f7f7f7f7full;
constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// The high bit of every non-zero byte of `word`, and nothing else (no
// carry crosses from one byte into the next).
inline std::uint64_t NonZeroBytes(std::uint64_t word) { return (((word & kLowSeven) + kLowSeven) | word) & kHighBits; }

// The high bit of every byte of `word` that is ink per the rule.
inline std::uint64_t InkBytes(std::uint64_t word, InkPixels ink) {
    return ink == InkPixels::FullValue ? ~NonZeroBytes(~word) & kHighBits : NonZeroBytes(word);
}

// Index of the first byte in memory whose high bit is set in `bits` (not 0).
inline int FirstByte(std::uint64_t bits) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return __builtin_clzll(bits) / 8;
#else
    return __builtin_ctzll(bits) / 8;
#endif
}

// First column from `x` on whose ink flag is `wanted`, or `cols`: eight
// bytes at a time while none of them is.
int NextWithFlag(const std::uint8_t* row, int x, int cols, InkPixels ink, bool wanted) {
    while (x + 8 <= cols) {
        std::uint64_t word;
        std::memcpy(&word, row + x, sizeof word);
        const std::uint64_t inkBytes = InkBytes(word, ink);
        const std::uint64_t found = wanted ? inkBytes : ~inkBytes & kHighBits;
        if (found != 0) return x + FirstByte(found);
        x += 8;
    }
    while (x < cols && (InkFlag(row[x], ink) != 0) != wanted) ++x;
    return x;
}

// Clears the horizontal runs of one row at least `longest` long.
void ClearLongRowRuns(std::uint8_t* row, int cols, int longest, InkPixels ink) {
    int x = 0;
    while (x < cols) {
        const int start = NextWithFlag(row, x, cols, ink, true);
        if (start >= cols) break;
        x = NextWithFlag(row, start, cols, ink, false);
        if (x - start >= longest) std::fill(row + start, row + x, std::uint8_t{0});
    }
}

// The shortest run that is cleared, from the longest that is kept.
int ShortestCleared(int kept) { return kept >= INT_MAX - 1 ? INT_MAX : std::max(kept, 0) + 1; }

// Clears the horizontal runs at least `longestAcross` long and, when
// `longestDown` is at most the mask's height (which `Count` holds), the
// vertical runs at least `longestDown` long, in one pass down the mask.
// Row y is first read as given: each column's run so far is counted on
// (a loop over the row with no branch, which vectorises), and the runs that
// ended just above it are cleared in the rows above, which nothing reads
// again. Then row y's own long runs are found and cleared; the rows below
// are untouched until then. So both directions see the mask as given. Only
// a row where some long vertical run ends is looked at column by column.
// Vertical runs are found as they end, so a column's runs come top to
// bottom; a stable sort by column then lists them column by column.
template <typename Count>
void ClearRuns(cv::Mat& mask, int longestAcross, int longestDown, InkPixels ink, std::vector<cv::Rect>* verticalRuns) {
    const int cols = mask.cols;
    const bool columns = longestDown <= mask.rows;
    const Count least = static_cast<Count>(columns ? longestDown : 0);
    std::vector<Count> run(columns ? static_cast<std::size_t>(cols) : 0, 0);
    std::vector<Count> before(run.size(), 0);
    std::vector<cv::Rect> removed;
    for (int y = 0; y <= mask.rows; ++y) {
        std::uint8_t* row = y < mask.rows ? mask.ptr<std::uint8_t>(y) : nullptr;
        if (columns) {
            Count ended = 0;
            Count* runs = run.data();
            Count* previousRuns = before.data();
            if (row == nullptr) {
                for (int x = 0; x < cols; ++x) {
                    previousRuns[x] = runs[x];
                    ended |= static_cast<Count>(runs[x] >= least);
                    runs[x] = 0;
                }
            } else if (ink == InkPixels::FullValue) {
                for (int x = 0; x < cols; ++x) {
                    const Count on = static_cast<Count>(row[x] == 255);
                    const Count previous = runs[x];
                    previousRuns[x] = previous;
                    runs[x] = static_cast<Count>((previous + 1) * on);
                    ended |= static_cast<Count>((previous >= least) & (on ^ 1));
                }
            } else {
                for (int x = 0; x < cols; ++x) {
                    const Count on = static_cast<Count>(row[x] != 0);
                    const Count previous = runs[x];
                    previousRuns[x] = previous;
                    runs[x] = static_cast<Count>((previous + 1) * on);
                    ended |= static_cast<Count>((previous >= least) & (on ^ 1));
                }
            }
            if (ended != 0) {
                for (int x = 0; x < cols; ++x) {
                    const int length = previousRuns[x];
                    if (length < longestDown || runs[x] != 0) continue;
                    for (int k = y - length; k < y; ++k) mask.at<std::uint8_t>(k, x) = 0;
                    if (verticalRuns != nullptr) removed.emplace_back(x, y - length, 1, length - 1);
                }
            }
        }
        if (row != nullptr) ClearLongRowRuns(row, cols, longestAcross, ink);
    }
    if (verticalRuns != nullptr) {
        std::stable_sort(removed.begin(), removed.end(), [](const cv::Rect& a, const cv::Rect& b) { return a.x < b.x; });
        verticalRuns->insert(verticalRuns->end(), removed.begin(), removed.end());
    }
}

}  // namespace

void ClearLongRuns(cv::Mat& mask, const LongRunLimits& limits, std::vector<cv::Rect>* verticalRuns) {
    if (mask.empty() || mask.dims != 2 || mask.type() != CV_8UC1) return;
    const int longestAcross = ShortestCleared(limits.keptAcross);
    // A vertical run longer than the mask is tall cannot be: then no column
    // is looked at. Run lengths fit 16 bits below 65535 rows, which halves
    // the memory the loop over a row goes through and doubles its lanes.
    const int longestDown = ShortestCleared(limits.keptDown);
    if (mask.rows < 65535) {
        ClearRuns<std::uint16_t>(mask, longestAcross, longestDown, limits.ink, verticalRuns);
    } else {
        ClearRuns<std::int32_t>(mask, longestAcross, longestDown, limits.ink, verticalRuns);
    }
}

}  // namespace kalvero
