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

// Marks, in `marks`, the horizontal runs of one row at least `longest` long.
void MarkLongRowRuns(const std::uint8_t* row, int cols, int longest, InkPixels ink, std::uint8_t* marks) {
    int x = 0;
    while (x < cols) {
        const int start = NextWithFlag(row, x, cols, ink, true);
        if (start >= cols) break;
        x = NextWithFlag(row, start, cols, ink, false);
        if (x - start >= longest) std::fill(marks + start, marks + x, std::uint8_t{1});
    }
}

// The shortest run that is cleared, from the longest that is kept.
int ShortestCleared(int kept) { return kept >= INT_MAX - 1 ? INT_MAX : std::max(kept, 0) + 1; }

// Marks, in `clear`, the vertical runs at least `longest` long (at most
// the mask's height, so that it fits `Count`). Row by row, each column's
// run so far: the loop over a row has no branch and vectorises. Only a row
// where some long run ends is looked at column by column. Runs are found
// as they end, so a column's runs come top to bottom; a stable sort by
// column then lists them column by column.
template <typename Count>
void MarkLongColumnRuns(const cv::Mat& mask, int longest, InkPixels ink, cv::Mat& clear,
                        std::vector<cv::Rect>* verticalRuns) {
    const int cols = mask.cols;
    const Count least = static_cast<Count>(longest);
    std::vector<Count> run(static_cast<std::size_t>(cols), 0);
    std::vector<Count> before(static_cast<std::size_t>(cols), 0);
    std::vector<cv::Rect> removed;
    for (int y = 0; y <= mask.rows; ++y) {
        const std::uint8_t* row = y < mask.rows ? mask.ptr<std::uint8_t>(y) : nullptr;
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
        if (ended == 0) continue;
        for (int x = 0; x < cols; ++x) {
            const int length = previousRuns[x];
            if (length < longest || runs[x] != 0) continue;
            for (int k = y - length; k < y; ++k) clear.at<std::uint8_t>(k, x) = 1;
            if (verticalRuns != nullptr) removed.emplace_back(x, y - length, 1, length - 1);
        }
    }
    if (verticalRuns != nullptr) {
        std::stable_sort(removed.begin(), removed.end(), [](const cv::Rect& a, const cv::Rect& b) { return a.x < b.x; });
        verticalRuns->insert(verticalRuns->end(), removed.begin(), removed.end());
    }
}

}  // namespace

void ClearLongRuns(cv::Mat& mask, const LongRunLimits& limits, std::vector<cv::Rect>* verticalRuns) {
    if (mask.empty() || mask.dims != 2 || mask.type() != CV_8UC1) return;
    // Marks first, clearing after, so both directions see the mask as given.
    cv::Mat clear(mask.size(), CV_8UC1, cv::Scalar(0));
    const int longestAcross = ShortestCleared(limits.keptAcross);
    for (int y = 0; y < mask.rows; ++y) {
        MarkLongRowRuns(mask.ptr<std::uint8_t>(y), mask.cols, longestAcross, limits.ink, clear.ptr<std::uint8_t>(y));
    }

    // A vertical run longer than the mask is tall cannot be: then no column
    // is looked at.
    const int longestDown = ShortestCleared(limits.keptDown);
    if (longestDown <= mask.rows) {
        // Run lengths fit 16 bits below 65535 rows, which halves the
        // memory the loop over a row goes through and doubles its lanes.
        if (mask.rows < 65535) {
            MarkLongColumnRuns<std::uint16_t>(mask, longestDown, limits.ink, clear, verticalRuns);
        } else {
            MarkLongColumnRuns<std::int32_t>(mask, longestDown, limits.ink, clear, verticalRuns);
        }
    }
    mask.setTo(0, clear);
}

}  // namespace kalvero
