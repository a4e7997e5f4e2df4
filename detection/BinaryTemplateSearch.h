#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

// Finds the first maximum of the normalised cross-correlation of a template
// over a range of window positions of a two-level image (0 and 255 only)
// without computing every window, with the same values and the same result
// as scanning the full correlation map (TemplateCorrelation.h).
//
// On a 0/255 image a window holding n foreground pixels has
//     R = 255 * S / sqrt(255^2 * n * sum(T^2)) = S / (sqrt(n) * |T|),
// where S is the sum of the template values under the foreground pixels.
// Two cheap upper bounds of S rule most windows out:
//   - S is at most the sum of the n largest template values (the window's
//     count comes from an integral image);
//   - cut the template into square blocks: block b adds at most
//     min(255 * c_b, total of block b), c_b being the window's foreground
//     count inside the block, read from a box-count image; this is summed
//     for eight or sixteen neighbouring windows at a time.
// A window is summed exactly (16 or 32 template pixels at a time) only when
// its bounds could still beat the best value found so far, or reach the
// threshold the caller cares about.

// Slack added to every bound so that rounding in the last bits of the
// double-precision bound or of the single-precision correlation can never
// make a bound fall below the value it bounds.
constexpr double kCorrelationBoundSlack = 1e-6;

// Edge length of the square blocks of the block bound for windows of
// tw x th, or 0 when the template is too small for the bound to pay.
int BoundBlockSize(int tw, int th);

// What the window search needs to know about one 8-bit template.
struct TemplateBounds {
    TemplateBounds() = default;
    explicit TemplateBounds(const cv::Mat& glyphTemplate);

    int width = 0;
    int height = 0;
    std::int64_t energy = 0;               // sum(T^2)
    int chunks = 0;                        // 16-byte groups per template row
    std::vector<std::uint8_t> rows;        // rows of chunks * 16 bytes, zero-padded
    std::vector<double> inverseNorm;       // [n] 1 / (sqrt(n) |T|); 0 for n = 0
    std::vector<double> countBound;        // [n] bound of a window with n foreground pixels
    // The block bound: block edge (0: none), and for every block holding
    // ink its top-left corner and the sum of its values, the sum repeated
    // sixteen times (one per window of the widest step).
    int block = 0;
    std::vector<cv::Point> blockOrigins;
    std::vector<std::uint16_t> blockTotals;
};

// Instruction sets the exact sums and block bounds can use; every one gives
// the same sums. The index uses the widest the processor offers.
enum class VectorPath {
    Portable,  // plain C++
    Sse2,      // 16 bytes at a time
    Avx2,      // 32 bytes at a time, chosen at run time on x86 processors that have it
};
VectorPath WidestVectorPath();

// Counts of one 0/255 image for windows of a fixed size: the foreground
// count of every window and its range over whole tiles of window size, box
// counts for the block bound, and a copy of the image padded on the right
// for the exact sums.
class BinaryImageIndex {
public:
    // `binaryImage`: 8-bit single-channel, 0 and 255 only (see IsBinary),
    // at least as large as the window. A vector path wider than the
    // processor offers falls back to the widest it has.
    BinaryImageIndex(const cv::Mat& binaryImage, cv::Size windowSize,
                     VectorPath vectorPath = WidestVectorPath());

    // The index of an image when it is a two-level image that holds a
    // window, else null (such images are searched through full maps).
    static std::unique_ptr<BinaryImageIndex> ForTwoLevelImage(const cv::Mat& image,
                                                             cv::Size windowSize);

    // True when every pixel of an 8-bit single-channel image is 0 or 255.
    static bool IsBinary(const cv::Mat& image);

    cv::Size WindowSize() const { return window_; }
    // Window positions: (cols - tw + 1) x (rows - th + 1).
    cv::Size PositionCount() const { return windowCounts_.size(); }
    // Foreground pixels of the window whose top-left corner is (x, y).
    int WindowCount(int x, int y) const { return windowCounts_.ptr<std::int32_t>(y)[x]; }
    // Smallest and largest window count over a rectangle of positions.
    void CountRange(const cv::Rect& positions, int& lowest, int& highest) const;
    // The same for the whole tiles of tw x th positions, counted from the
    // top-left corner (partial tiles at the right and bottom are left out).
    cv::Size TileCount() const { return tileLowest_.size(); }
    int TileLowest(int tx, int ty) const { return tileLowest_.ptr<std::int32_t>(ty)[tx]; }
    int TileHighest(int tx, int ty) const { return tileHighest_.ptr<std::int32_t>(ty)[tx]; }

    // Sum of the template values under the foreground of the window at
    // (x, y), exactly.
    std::int64_t ForegroundSum(const TemplateBounds& bounds, int x, int y) const;
    // The block bounds of that sum for the `count` windows (x .. x + count
    // - 1, y), written to out[0 .. count - 1].
    void BlockBoundSums(const TemplateBounds& bounds, int x, int y, int count,
                        std::int32_t* out) const;
    // The block bound sums of every window position (CV_32SC1, one per
    // position), for searches that visit most positions several times;
    // empty when the template has no block bound.
    cv::Mat BlockBoundMap(const TemplateBounds& bounds) const;

private:
    cv::Size window_;
    int block_ = 0;
    VectorPath vectorPath_ = VectorPath::Portable;
    cv::Mat padded_;        // the image with zero columns on the right
    cv::Mat windowCounts_;  // CV_32SC1, one count per position
    cv::Mat tileLowest_;    // CV_32SC1, one per whole tile
    cv::Mat tileHighest_;
    cv::Mat boxInk_;        // CV_16UC1, 255 x the block x block count from every
                            // pixel, clipped at the edges, zero columns on the right
};

// The first maximum (row-major order) over the window positions in
// `positions`, considering only values above `floor` (or at least `floor`
// when `floorIncluded`): found is false when no position gets there.
struct WindowMaximum {
    bool found = false;
    float value = 0.0f;
    cv::Point position;
};
// `blockBoundMap`, when given, is the index's BlockBoundMap for `bounds`.
WindowMaximum FindFirstMaximum(const BinaryImageIndex& index, const TemplateBounds& bounds,
                               const cv::Rect& positions, double floor, bool floorIncluded,
                               const cv::Mat* blockBoundMap = nullptr);

// Whether any window count in [lowest, highest] has a bound above `floor`.
bool CountRangeCanPass(const TemplateBounds& bounds, int lowest, int highest, double floor);

}  // namespace kalvero
