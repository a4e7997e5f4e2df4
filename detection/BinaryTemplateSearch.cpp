#include "detection/BinaryTemplateSearch.h"

#include <algorithm>
#include <array>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// GCC and Clang on x86 can compile an AVX2 variant beside the baseline and
// pick it at run time.
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define KALVERO_HAS_AVX2_PATH 1
#include <immintrin.h>
#else
#define KALVERO_HAS_AVX2_PATH 0
#endif

#include <opencv2/imgproc.hpp>

#include "detection/TemplateCorrelation.h"

namespace kalvero {

namespace {

// Bytes of one SSE2 register: rows are counted in chunks of this width.
constexpr int kChunkBytes = 16;
// Foreground value of the binarised images the index is built from.
constexpr int kForeground = 255;
// The widest step of windows whose block bounds are summed side by side:
// each block total is stored that many times, and as many zero columns
// right of the box counts let the last step read past the last window.
constexpr int kTotalStride = 16;
constexpr int kBoxPadding = kTotalStride;

int ChunksFor(int width) { return (width + kChunkBytes - 1) / kChunkBytes; }

int CeilDiv(int a, int b) { return (a + b - 1) / b; }

// Whether a bound (or a value) can still count: above the best value found
// so far, or, before anything was found, above (or at) the floor.
bool CanCount(double bound, const WindowMaximum& best, double floor, bool floorIncluded) {
    if (best.found) {
        return bound > static_cast<double>(best.value);
    }
    return floorIncluded ? bound >= floor : bound > floor;
}

// The narrower of the wanted and the widest available vector path.
VectorPath Available(VectorPath wanted) {
    const VectorPath widest = WidestVectorPath();
    return static_cast<int>(wanted) < static_cast<int>(widest) ? wanted : widest;
}

}  // namespace

int BoundBlockSize(int tw, int th) {
    // Measured on digit heights 20 to 60: blocks of about a sixth of the
    // template's shorter side, kept between 3 and 6 pixels, prune best. The
    // bound costs one look-up per block for eight (or sixteen) windows; it
    // is left out when the exact sum (one 16-byte step per template row and
    // chunk) costs no more.
    constexpr int kSmallestBlock = 3;
    constexpr int kLargestUsefulBlock = 6;
    const int shorter = std::min(tw, th);
    const int k = std::min(kLargestUsefulBlock,
                           std::max(kSmallestBlock, static_cast<int>(std::lround(shorter / 6.0))));
    const int blocks = CeilDiv(tw, k) * CeilDiv(th, k);
    if (k > shorter || 8 * th * ChunksFor(tw) <= blocks) {
        return 0;
    }
    return k;
}

TemplateBounds::TemplateBounds(const cv::Mat& glyphTemplate)
    : width(glyphTemplate.cols),
      height(glyphTemplate.rows),
      energy(TemplateEnergy(glyphTemplate)),
      chunks(ChunksFor(glyphTemplate.cols)) {
    CV_Assert(glyphTemplate.type() == CV_8UC1 && !glyphTemplate.empty());
    const int stride = chunks * kChunkBytes;
    rows.assign(static_cast<std::size_t>(height) * static_cast<std::size_t>(stride), 0);
    std::vector<int> values;
    values.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int r = 0; r < height; ++r) {
        const uchar* in = glyphTemplate.ptr<uchar>(r);
        std::copy(in, in + width, rows.begin() + static_cast<std::ptrdiff_t>(r) * stride);
        values.insert(values.end(), in, in + width);
    }

    // The values largest first, by counting (they are bytes).
    const std::size_t area = values.size();
    std::array<int, 256> histogram{};
    for (int v : values) {
        ++histogram[static_cast<std::size_t>(v)];
    }
    values.clear();
    for (int v = 255; v >= 0; --v) {
        values.insert(values.end(), static_cast<std::size_t>(histogram[static_cast<std::size_t>(v)]), v);
    }
    const double norm = std::sqrt(static_cast<double>(energy));
    inverseNorm.assign(area + 1, 0.0);
    countBound.assign(area + 1, 0.0);
    std::int64_t largest = 0;
    for (std::size_t n = 1; n <= area; ++n) {
        largest += values[n - 1];
        if (energy > 0) {
            inverseNorm[n] = 1.0 / (std::sqrt(static_cast<double>(n)) * norm);
        }
        countBound[n] = static_cast<double>(largest) * inverseNorm[n] + kCorrelationBoundSlack;
    }

    block = BoundBlockSize(width, height);
    for (int by = 0; block > 0 && by < height; by += block) {
        for (int bx = 0; bx < width; bx += block) {
            int total = 0;
            for (int r = by; r < std::min(by + block, height); ++r) {
                const uchar* in = glyphTemplate.ptr<uchar>(r);
                for (int c = bx; c < std::min(bx + block, width); ++c) {
                    total += in[c];
                }
            }
            if (total > 0) {
                blockOrigins.emplace_back(bx, by);
                blockTotals.insert(blockTotals.end(), kTotalStride,
                                   static_cast<std::uint16_t>(total));
            }
        }
    }
}

BinaryImageIndex::BinaryImageIndex(const cv::Mat& binaryImage, cv::Size windowSize,
                                   VectorPath vectorPath)
    : window_(windowSize),
      block_(BoundBlockSize(windowSize.width, windowSize.height)),
      vectorPath_(Available(vectorPath)) {
    CV_Assert(binaryImage.type() == CV_8UC1);
    CV_Assert(windowSize.width > 0 && windowSize.height > 0 &&
              windowSize.width <= binaryImage.cols && windowSize.height <= binaryImage.rows);
    const int cols = binaryImage.cols;
    const int rows = binaryImage.rows;
    cv::copyMakeBorder(binaryImage, padded_, 0, 0, 0, ChunksFor(windowSize.width) * kChunkBytes,
                       cv::BORDER_CONSTANT, cv::Scalar(0));

    // Integral of the foreground counts (the image holds 0 and 255 only).
    cv::Mat integral(rows + 1, cols + 1, CV_32SC1, cv::Scalar(0));
    for (int y = 0; y < rows; ++y) {
        const uchar* in = binaryImage.ptr<uchar>(y);
        const std::int32_t* above = integral.ptr<std::int32_t>(y);
        std::int32_t* out = integral.ptr<std::int32_t>(y + 1);
        std::int32_t rowSum = 0;
        for (int x = 0; x < cols; ++x) {
            rowSum += in[x] & 1;
            out[x + 1] = rowSum;
        }
        for (int x = 1; x <= cols; ++x) {
            out[x] += above[x];
        }
    }

    const int tw = windowSize.width;
    const int th = windowSize.height;
    const int positionCols = cols - tw + 1;
    const int positionRows = rows - th + 1;
    windowCounts_.create(positionRows, positionCols, CV_32SC1);
    for (int y = 0; y < positionRows; ++y) {
        const std::int32_t* top = integral.ptr<std::int32_t>(y);
        const std::int32_t* bottom = integral.ptr<std::int32_t>(y + th);
        std::int32_t* out = windowCounts_.ptr<std::int32_t>(y);
        for (int x = 0; x < positionCols; ++x) {
            out[x] = bottom[x + tw] - top[x + tw] - bottom[x] + top[x];
        }
    }

    const int tilesPerRow = positionCols / tw;
    const int tileRows = positionRows / th;
    tileLowest_.create(tileRows, tilesPerRow, CV_32SC1);
    tileHighest_.create(tileRows, tilesPerRow, CV_32SC1);
    for (int ty = 0; ty < tileRows; ++ty) {
        std::int32_t* lowest = tileLowest_.ptr<std::int32_t>(ty);
        std::int32_t* highest = tileHighest_.ptr<std::int32_t>(ty);
        for (int tx = 0; tx < tilesPerRow; ++tx) {
            CountRange(cv::Rect(tx * tw, ty * th, tw, th), lowest[tx], highest[tx]);
        }
    }

    // Box counts of k x k pixels from every pixel, clipped at the right and
    // bottom edges.
    if (block_ > 0) {
        const int k = block_;
        boxInk_ = cv::Mat(rows, cols + kBoxPadding, CV_16UC1, cv::Scalar(0));
        const int fullCols = std::max(0, cols - k + 1);
        for (int y = 0; y < rows; ++y) {
            const std::int32_t* top = integral.ptr<std::int32_t>(y);
            const std::int32_t* bottom = integral.ptr<std::int32_t>(std::min(y + k, rows));
            std::uint16_t* out = boxInk_.ptr<std::uint16_t>(y);
            for (int x = 0; x < fullCols; ++x) {
                out[x] = static_cast<std::uint16_t>(
                    kForeground * (bottom[x + k] - top[x + k] - bottom[x] + top[x]));
            }
            for (int x = fullCols; x < cols; ++x) {
                out[x] = static_cast<std::uint16_t>(
                    kForeground * (bottom[cols] - top[cols] - bottom[x] + top[x]));
            }
        }
    }
}

std::unique_ptr<BinaryImageIndex> BinaryImageIndex::ForTwoLevelImage(const cv::Mat& image,
                                                                     cv::Size windowSize) {
    if (image.type() != CV_8UC1 || windowSize.width <= 0 || windowSize.height <= 0 ||
        image.cols < windowSize.width || image.rows < windowSize.height || !IsBinary(image)) {
        return nullptr;
    }
    return std::make_unique<BinaryImageIndex>(image, windowSize);
}

bool BinaryImageIndex::IsBinary(const cv::Mat& image) {
    CV_Assert(image.type() == CV_8UC1);
    for (int y = 0; y < image.rows; ++y) {
        const uchar* row = image.ptr<uchar>(y);
        // (v + 1) mod 256 is 1 for 0 and 0 for 255, and has a bit above the
        // lowest set for every other value.
        unsigned other = 0;
        for (int x = 0; x < image.cols; ++x) {
            other |= static_cast<uchar>(row[x] + 1) & 0xFEu;
        }
        if (other != 0) {
            return false;
        }
    }
    return true;
}

void BinaryImageIndex::CountRange(const cv::Rect& positions, int& lowest, int& highest) const {
    std::int32_t low = INT32_MAX;
    std::int32_t high = INT32_MIN;
    const int x0 = positions.x;
    const int x1 = positions.x + positions.width;
    for (int y = positions.y; y < positions.y + positions.height; ++y) {
        const std::int32_t* row = windowCounts_.ptr<std::int32_t>(y);
        for (int x = x0; x < x1; ++x) {
            low = std::min(low, row[x]);
            high = std::max(high, row[x]);
        }
    }
    lowest = low;
    highest = high;
}

namespace {

// The exact sum and the block bounds, once per instruction set. The image
// bytes are 0 or 255, so image & template is the template value under the
// foreground; a sum of absolute differences to zero adds such bytes sixteen
// (or thirty-two) at a time. The block bounds are summed for eight (or
// sixteen) neighbouring windows in 16-bit lanes: 255 x count, capped at the
// block's total with a saturating subtraction (a - (a -sat b) is min(a, b)),
// added in 16 bits for as many blocks as cannot overflow, then widened to 32
// bits. All of it is integer arithmetic: every variant gives the same sums.

struct SumSource {
    const std::uint8_t* image;   // the window's top-left pixel in the padded image
    std::size_t imageStep;
    const std::uint8_t* glyph;   // the template's padded rows
    std::size_t glyphStride;
    int rows;
    int chunks;
    int width;
};

std::int64_t ForegroundSumPortable(const SumSource& s) {
    std::int64_t total = 0;
    const std::uint8_t* image = s.image;
    const std::uint8_t* glyph = s.glyph;
    for (int r = 0; r < s.rows; ++r) {
        for (int c = 0; c < s.width; ++c) {
            total += image[c] & glyph[c];
        }
        image += s.imageStep;
        glyph += s.glyphStride;
    }
    return total;
}

struct BoundSource {
    const std::uint16_t* ink;    // box ink at the first window
    std::size_t inkStep;
    const cv::Point* origins;
    const std::uint16_t* totals; // kTotalStride copies per block
    std::size_t blocks;
    std::size_t perPartial;      // blocks whose 16-bit sum cannot overflow
};

void BlockSumsPortable(const BoundSource& s, int count, std::int32_t* out) {
    for (int i = 0; i < count; ++i) {
        std::int32_t sum = 0;
        for (std::size_t b = 0; b < s.blocks; ++b) {
            const std::uint16_t ink = s.ink[static_cast<std::size_t>(s.origins[b].y) * s.inkStep +
                                            static_cast<std::size_t>(s.origins[b].x + i)];
            sum += std::min(ink, s.totals[b * kTotalStride]);
        }
        out[i] = sum;
    }
}

#if defined(__SSE2__)
std::int64_t ForegroundSumSse2(const SumSource& s) {
    const __m128i zero = _mm_setzero_si128();
    __m128i total = _mm_setzero_si128();
    const std::uint8_t* image = s.image;
    const std::uint8_t* glyph = s.glyph;
    for (int r = 0; r < s.rows; ++r) {
        for (int k = 0; k < s.chunks; ++k) {
            const __m128i pixels =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(image + k * kChunkBytes));
            const __m128i weights =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(glyph + k * kChunkBytes));
            total = _mm_add_epi64(total, _mm_sad_epu8(_mm_and_si128(pixels, weights), zero));
        }
        image += s.imageStep;
        glyph += s.glyphStride;
    }
    return static_cast<std::int64_t>(_mm_cvtsi128_si32(total)) +
           static_cast<std::int64_t>(_mm_cvtsi128_si32(_mm_srli_si128(total, 8)));
}

void BlockSumsSse2(const BoundSource& s, int count, std::int32_t* out) {
    constexpr int kLanes = 8;
    const __m128i zero = _mm_setzero_si128();
    alignas(16) std::int32_t lanes[kLanes];
    for (int i = 0; i < count; i += kLanes) {
        __m128i low = _mm_setzero_si128();
        __m128i high = _mm_setzero_si128();
        std::size_t b = 0;
        while (b < s.blocks) {
            __m128i partial = _mm_setzero_si128();
            const std::size_t end = std::min(s.blocks, b + s.perPartial);
            for (; b < end; ++b) {
                const std::uint16_t* at = s.ink + static_cast<std::size_t>(s.origins[b].y) * s.inkStep +
                                          static_cast<std::size_t>(s.origins[b].x + i);
                const __m128i ink = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
                const __m128i total =
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.totals + b * kTotalStride));
                partial = _mm_add_epi16(partial, _mm_sub_epi16(ink, _mm_subs_epu16(ink, total)));
            }
            low = _mm_add_epi32(low, _mm_unpacklo_epi16(partial, zero));
            high = _mm_add_epi32(high, _mm_unpackhi_epi16(partial, zero));
        }
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), low);
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes + 4), high);
        std::copy(lanes, lanes + std::min(kLanes, count - i), out + i);
    }
}
#endif

#if KALVERO_HAS_AVX2_PATH
__attribute__((target("avx2"))) std::int64_t ForegroundSumAvx2(const SumSource& s) {
    const __m256i zero = _mm256_setzero_si256();
    __m256i total = _mm256_setzero_si256();
    __m128i tail = _mm_setzero_si128();
    const std::uint8_t* image = s.image;
    const std::uint8_t* glyph = s.glyph;
    const int pairs = s.chunks / 2;
    const bool odd = s.chunks % 2 != 0;
    for (int r = 0; r < s.rows; ++r) {
        for (int k = 0; k < pairs; ++k) {
            const __m256i pixels =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(image + 2 * k * kChunkBytes));
            const __m256i weights =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(glyph + 2 * k * kChunkBytes));
            total = _mm256_add_epi64(total, _mm256_sad_epu8(_mm256_and_si256(pixels, weights), zero));
        }
        if (odd) {
            const int k = 2 * pairs;
            const __m128i pixels =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(image + k * kChunkBytes));
            const __m128i weights =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(glyph + k * kChunkBytes));
            tail = _mm_add_epi64(tail, _mm_sad_epu8(_mm_and_si128(pixels, weights),
                                                    _mm_setzero_si128()));
        }
        image += s.imageStep;
        glyph += s.glyphStride;
    }
    alignas(32) std::int64_t parts[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(parts), total);
    alignas(16) std::int64_t tails[2];
    _mm_store_si128(reinterpret_cast<__m128i*>(tails), tail);
    return parts[0] + parts[1] + parts[2] + parts[3] + tails[0] + tails[1];
}

__attribute__((target("avx2"))) void BlockSumsAvx2(const BoundSource& s, int count,
                                                   std::int32_t* out) {
    constexpr int kLanes = 16;
    alignas(32) std::int32_t lanes[kLanes];
    for (int i = 0; i < count; i += kLanes) {
        __m256i low = _mm256_setzero_si256();
        __m256i high = _mm256_setzero_si256();
        std::size_t b = 0;
        while (b < s.blocks) {
            __m256i partial = _mm256_setzero_si256();
            const std::size_t end = std::min(s.blocks, b + s.perPartial);
            for (; b < end; ++b) {
                const std::uint16_t* at = s.ink + static_cast<std::size_t>(s.origins[b].y) * s.inkStep +
                                          static_cast<std::size_t>(s.origins[b].x + i);
                const __m256i ink = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
                const __m256i total = _mm256_loadu_si256(
                    reinterpret_cast<const __m256i*>(s.totals + b * kTotalStride));
                partial = _mm256_add_epi16(partial,
                                           _mm256_sub_epi16(ink, _mm256_subs_epu16(ink, total)));
            }
            // Lanes 0-7 and 8-15 widened in order.
            low = _mm256_add_epi32(low, _mm256_cvtepu16_epi32(_mm256_castsi256_si128(partial)));
            high = _mm256_add_epi32(high,
                                    _mm256_cvtepu16_epi32(_mm256_extracti128_si256(partial, 1)));
        }
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), low);
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes + 8), high);
        std::copy(lanes, lanes + std::min(kLanes, count - i), out + i);
    }
}
#endif

}  // namespace

VectorPath WidestVectorPath() {
#if KALVERO_HAS_AVX2_PATH
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) {
        return VectorPath::Avx2;
    }
#endif
#if defined(__SSE2__)
    return VectorPath::Sse2;
#else
    return VectorPath::Portable;
#endif
}

std::int64_t BinaryImageIndex::ForegroundSum(const TemplateBounds& bounds, int x, int y) const {
    CV_DbgAssert(bounds.width == window_.width && bounds.height == window_.height);
    const SumSource source{padded_.ptr<uchar>(y) + x,
                           padded_.step[0],
                           bounds.rows.data(),
                           static_cast<std::size_t>(bounds.chunks) * kChunkBytes,
                           bounds.height,
                           bounds.chunks,
                           bounds.width};
    switch (vectorPath_) {
#if KALVERO_HAS_AVX2_PATH
    case VectorPath::Avx2:
        return ForegroundSumAvx2(source);
#endif
#if defined(__SSE2__)
    case VectorPath::Sse2:
        return ForegroundSumSse2(source);
#endif
    default:
        return ForegroundSumPortable(source);
    }
}

void BinaryImageIndex::BlockBoundSums(const TemplateBounds& bounds, int x, int y, int count,
                                      std::int32_t* out) const {
    CV_Assert(bounds.block == block_ && block_ > 0);
    // 255 x 36 (6 x 6 blocks) fits 16 bits several times over.
    const int largestTerm = kForeground * block_ * block_;
    const BoundSource source{boxInk_.ptr<std::uint16_t>(y) + x,
                             boxInk_.step1(),
                             bounds.blockOrigins.data(),
                             bounds.blockTotals.data(),
                             bounds.blockOrigins.size(),
                             static_cast<std::size_t>(std::max(1, 65535 / largestTerm))};
    switch (vectorPath_) {
#if KALVERO_HAS_AVX2_PATH
    case VectorPath::Avx2:
        BlockSumsAvx2(source, count, out);
        return;
#endif
#if defined(__SSE2__)
    case VectorPath::Sse2:
        BlockSumsSse2(source, count, out);
        return;
#endif
    default:
        BlockSumsPortable(source, count, out);
        return;
    }
}

cv::Mat BinaryImageIndex::BlockBoundMap(const TemplateBounds& bounds) const {
    if (bounds.block == 0) {
        return cv::Mat();
    }
    const cv::Size positions = PositionCount();
    cv::Mat map(positions, CV_32SC1);
    for (int y = 0; y < positions.height; ++y) {
        BlockBoundSums(bounds, 0, y, positions.width, map.ptr<std::int32_t>(y));
    }
    return map;
}

namespace {

float ExactValue(const BinaryImageIndex& index, const TemplateBounds& bounds, int x, int y, int n) {
    const std::int64_t sum = index.ForegroundSum(bounds, x, y);
    return NormalisedCorrelation(sum * kForeground,
                                 static_cast<std::int64_t>(n) * kForeground * kForeground,
                                 bounds.energy);
}

}  // namespace

WindowMaximum FindFirstMaximum(const BinaryImageIndex& index, const TemplateBounds& bounds,
                               const cv::Rect& positions, double floor, bool floorIncluded,
                               const cv::Mat* blockBoundMap) {
    CV_Assert(bounds.width == index.WindowSize().width &&
              bounds.height == index.WindowSize().height);
    CV_Assert((positions & cv::Rect(cv::Point(0, 0), index.PositionCount())) == positions);
    const bool blockBound = bounds.block > 0;
    CV_Assert(blockBoundMap == nullptr || !blockBound ||
              (blockBoundMap->type() == CV_32SC1 && blockBoundMap->size() == index.PositionCount()));
    std::vector<std::int32_t> rowSums;
    WindowMaximum best;
    for (int y = positions.y; y < positions.y + positions.height; ++y) {
        // The row's block bound sums once a window of the row needs them;
        // element 0 belongs to window sumsFrom.
        const std::int32_t* blockSums = nullptr;
        int sumsFrom = 0;
        for (int x = positions.x; x < positions.x + positions.width; ++x) {
            const int n = index.WindowCount(x, y);
            if (!CanCount(bounds.countBound[static_cast<std::size_t>(n)], best, floor,
                          floorIncluded)) {
                continue;
            }
            if (blockBound) {
                if (blockSums == nullptr) {
                    if (blockBoundMap != nullptr) {
                        blockSums = blockBoundMap->ptr<std::int32_t>(y);
                    } else {
                        rowSums.resize(static_cast<std::size_t>(positions.width));
                        index.BlockBoundSums(bounds, positions.x, y, positions.width,
                                             rowSums.data());
                        blockSums = rowSums.data();
                        sumsFrom = positions.x;
                    }
                }
                const double bound = static_cast<double>(blockSums[x - sumsFrom]) *
                                         bounds.inverseNorm[static_cast<std::size_t>(n)] +
                                     kCorrelationBoundSlack;
                if (!CanCount(bound, best, floor, floorIncluded)) {
                    continue;
                }
            }
            const float value = ExactValue(index, bounds, x, y, n);
            if (CanCount(static_cast<double>(value), best, floor, floorIncluded)) {
                best.found = true;
                best.value = value;
                best.position = cv::Point(x, y);
            }
        }
    }
    return best;
}

bool CountRangeCanPass(const TemplateBounds& bounds, int lowest, int highest, double floor) {
    for (int n = std::max(lowest, 0); n <= highest; ++n) {
        if (bounds.countBound[static_cast<std::size_t>(n)] > floor) {
            return true;
        }
    }
    return false;
}

}  // namespace kalvero
