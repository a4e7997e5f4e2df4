#include "line_reader/DigitBlobs.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <opencv2/imgproc.hpp>

#include "line_reader/CellMeans.h"
#include "line_reader/InkComponents.h"
#include "line_reader/LocalDeviation.h"
#include "line_reader/LongInkRuns.h"

namespace kalvero {

namespace {

// Window of the local mean, in expected digit heights: wide enough to take
// in ground on both sides of a bold stroke, narrow enough to follow shading
// across a carriage side.
constexpr double kMeanWindow = 1.5;
// Smoothing before the comparison, as a share of the expected digit height
// (a stroke is about a seventh of it, so this keeps strokes whole) and at
// least a pixel's worth: it takes out grain and sensor noise that would
// otherwise bridge digits to specks around them.
constexpr double kSmoothing = 0.04;
constexpr double kMinSmoothing = 0.8;

// Where digits are, the local deviation is about half their contrast; ink
// must stand out by this share of it, so that paint texture next to
// high-contrast digits does not join them while faint digits on a plain
// ground still count.
constexpr float kDeviationShare = 0.5f;
// Pixels per window side at which the deviation is measured, and the
// least the image is shrunk for it.
constexpr int kDeviationCells = 8;
constexpr int kMinDeviationShrink = 2;
// Band of blob heights accepted, in expected digit heights: the operator's
// height may be 30 % off either way, plus room for blur and tilt.
constexpr double kMinHeight = 0.6;
constexpr double kMaxHeight = 1.5;
// Pieces shorter than this (in expected heights) are not worth joining:
// specks, rivets, holes.
constexpr double kMinPieceHeight = 0.15;
// Vertical gap between two stencil pieces of one digit, in expected heights.
constexpr double kStencilGap = 0.25;
// A digit is at most as wide as it is tall (allowing wide fonts and blur).
constexpr double kMaxAspect = 1.0;
// Fill of a blob's box: below this it is a thin frame or a line crossing;
// a wide blob above the upper bound is a solid block, not a digit (a 1 is
// thin and may be solid).
constexpr double kMinFill = 0.12;
constexpr double kMaxFillWide = 0.9;
constexpr double kThinAspect = 0.3;
// Lines longer than these (in expected digit heights) are not digit
// strokes: no digit has a horizontal stroke two heights long, and a vertical
// one longer than the tallest accepted blob is not part of a digit.
constexpr double kLongRun = 2.0;
constexpr double kTallRun = 1.6;
// Distance from one digit to the next in digit heights (a digit about 0.6
// of its height wide plus a narrow gap), used to cut touching digits apart,
// and the most digits one component is cut into: wider runs of ink are
// stripes or lettering.
constexpr double kDigitPitch = 0.75;
constexpr int kMaxTouchingDigits = 10;
// The narrowest pitch a cut may assume, in digit heights: condensed faces
// (Liberation Sans Narrow, the built-in glyphs set tight) put a digit
// every half height, and a run of them cut at the usual pitch gives
// pieces two digits wide, which no row takes.
constexpr double kNarrowestPitch = 0.45;
// Where a cut is looked for: within this share of a pitch of its expected
// place.
constexpr double kCutSearch = 0.35;
// A touching run is cut again within the band of rows most of its pieces
// share when that band is below this share of the run's height, and with
// this share of the band's height above and below it; at least this many
// pieces make a band.
constexpr double kSmearedShare = 0.8;
constexpr double kBandRoom = 0.1;
constexpr std::size_t kMinBandPieces = 3;

bool OverlapHorizontally(const cv::Rect& a, const cv::Rect& b) {
    const int overlap = std::min(a.x + a.width, b.x + b.width) - std::max(a.x, b.x);
    return overlap > 0 && overlap >= std::min(a.width, b.width) / 2;
}

int VerticalGap(const cv::Rect& a, const cv::Rect& b) {
    return std::max(a.y, b.y) - std::min(a.y + a.height, b.y + b.height);
}

// Joins pieces that sit one above the other (stencil breaks) while the
// result stays within a digit's height; repeats until nothing changes.
// Pieces are sorted by left edge, so a piece is only compared with the few
// that start before it ends; a joined piece is marked and dropped at the
// end rather than erased, and a piece that grew is compared again from its
// neighbours on: a textured 4K frame has tens of thousands of pieces, and
// starting over after every join made this cost seconds.
void JoinStencilPieces(std::vector<DigitBlob>& pieces, int digitHeight) {
    const double maxGap = kStencilGap * digitHeight;
    const double maxHeight = kMaxHeight * digitHeight;
    std::vector<char> joinedAway(pieces.size(), 0);
    bool joined = true;
    while (joined) {
        joined = false;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (joinedAway[i]) continue;
            for (bool grew = true; grew;) {
                grew = false;
                for (std::size_t j = i + 1; j < pieces.size(); ++j) {
                    if (joinedAway[j]) continue;
                    const cv::Rect& a = pieces[i].box;
                    const cv::Rect& b = pieces[j].box;
                    // Sorted by left edge: no later piece reaches back over a.
                    if (b.x >= a.x + a.width) break;
                    if (!OverlapHorizontally(a, b) || VerticalGap(a, b) > maxGap) continue;
                    const cv::Rect both = a | b;
                    if (both.height > maxHeight || both.width > kMaxAspect * both.height) continue;
                    pieces[i].box = both;
                    pieces[i].area += pieces[j].area;
                    joinedAway[j] = 1;
                    joined = grew = true;
                    break;
                }
            }
        }
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (!joinedAway[i]) pieces[kept++] = pieces[i];
    }
    pieces.resize(kept);
}

// Columns at which to cut a run of ink, whose ink per column is
// `columns`, into `count` pieces about one pitch wide: each cut at the
// column of least ink near where it is expected. The first is 0, the last
// the run's width.
std::vector<int> CutColumns(const std::vector<ColumnInkExtent>& columns, int count) {
    const int width = static_cast<int>(columns.size());
    std::vector<int> cuts = {0};
    const double pitch = static_cast<double>(width) / count;
    for (int k = 1; k < count; ++k) {
        const int from = std::max(cuts.back() + 1, static_cast<int>((k - kCutSearch) * pitch));
        const int to = std::min(width - 1, static_cast<int>((k + kCutSearch) * pitch));
        int best = from;
        for (int x = from; x <= to; ++x) {
            if (columns[static_cast<std::size_t>(x)].ink < columns[static_cast<std::size_t>(best)].ink) best = x;
        }
        if (best <= cuts.back() || best >= width) continue;
        cuts.push_back(best);
    }
    cuts.push_back(width);
    return cuts;
}

// The pieces of a run of ink between the columns `cuts` (from
// CutColumns), each spanning its columns and its own ink's rows.
// `columns` are the run's ColumnExtents over `box`.
std::vector<DigitBlob> PiecesBetween(const std::vector<ColumnInkExtent>& columns, const cv::Rect& box,
                                     const std::vector<int>& cuts) {
    std::vector<DigitBlob> pieces;
    for (std::size_t k = 0; k + 1 < cuts.size(); ++k) {
        const InkComponent within = InkWithinColumns(columns, box.x, cuts[k], cuts[k + 1]);
        if (within.area == 0) continue;
        pieces.push_back(
            DigitBlob{cv::Rect(box.x + cuts[k], within.box.y, cuts[k + 1] - cuts[k], within.box.height), within.area});
    }
    return pieces;
}

int DigitsAcross(const cv::Rect& box, int digitHeight) {
    return static_cast<int>(std::lround(box.width / (kDigitPitch * digitHeight)));
}

bool NoneWiderThanTall(const std::vector<DigitBlob>& pieces) {
    return std::all_of(pieces.begin(), pieces.end(),
                       [](const DigitBlob& piece) { return piece.box.width <= kMaxAspect * piece.box.height; });
}

// Cuts the rows `box` of a component into `count` pieces (at least two)
// at the usual pitch. When a piece of that cut is wider than it is tall,
// the run is of a narrower face: of the counts up to the narrowest pitch
// whose pieces are none of them wider than tall, the one whose cuts fall
// on the least ink on average (cuts at the wrong pitch cross strokes). A
// cut no count mends is kept as the usual pitch gives it.
std::vector<DigitBlob> CutIntoDigits(const InkComponents& ink, int component, const cv::Rect& box, int count) {
    const std::vector<ColumnInkExtent> columns = ink.ColumnExtents(component, box);
    std::vector<DigitBlob> usual = PiecesBetween(columns, box, CutColumns(columns, count));
    if (NoneWiderThanTall(usual)) return usual;
    const int most = std::min(kMaxTouchingDigits, static_cast<int>(box.width / (kNarrowestPitch * box.height)));
    std::vector<DigitBlob> best = std::move(usual);
    double bestInk = 0.0;
    bool mended = false;
    for (int more = count + 1; more <= most; ++more) {
        const std::vector<int> cuts = CutColumns(columns, more);
        std::vector<DigitBlob> pieces = PiecesBetween(columns, box, cuts);
        if (!NoneWiderThanTall(pieces) || cuts.size() < 3) continue;
        double cutInk = 0.0;
        for (std::size_t k = 1; k + 1 < cuts.size(); ++k) cutInk += columns[static_cast<std::size_t>(cuts[k])].ink;
        cutInk /= static_cast<double>(cuts.size() - 2);
        if (!mended || cutInk < bestInk) {
            best = std::move(pieces);
            bestInk = cutInk;
            mended = true;
        }
    }
    return best;
}

// Splits a component wider than a digit (digits touching through blur or
// tight spacing) into digits. A smear of ground joined above or below a
// few of them makes the component taller than its digits, so that its
// height miscounts them and the pieces under the smear stand out of the
// row: when most pieces share a band of rows clearly lower than the
// component, the component is cut again within that band (the median
// top and bottom of the pieces, with a little room).
void SplitTouchingDigits(const InkComponents& ink, int component, const cv::Rect& box,
                         std::vector<DigitBlob>& pieces) {
    const int count = DigitsAcross(box, box.height);
    if (count < 2 || count > kMaxTouchingDigits) return;
    std::vector<DigitBlob> cut = CutIntoDigits(ink, component, box, count);
    if (cut.size() >= kMinBandPieces) {
        std::vector<int> tops, bottoms;
        for (const DigitBlob& piece : cut) {
            tops.push_back(piece.box.y);
            bottoms.push_back(piece.box.y + piece.box.height);
        }
        const auto middle = [](std::vector<int>& values) {
            std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
            return values[values.size() / 2];
        };
        const int top = middle(tops);
        const int bottom = middle(bottoms);
        const int band = bottom - top;
        if (band > 0 && band < kSmearedShare * box.height) {
            const int room = static_cast<int>(std::ceil(kBandRoom * band));
            const cv::Rect core = cv::Rect(box.x, top - room, box.width, band + 2 * room) & box;
            const int recount = DigitsAcross(core, band);
            if (recount >= 2 && recount <= kMaxTouchingDigits) cut = CutIntoDigits(ink, component, core, recount);
        }
    }
    pieces.insert(pieces.end(), cut.begin(), cut.end());
}

bool LooksLikeDigit(const DigitBlob& blob, int digitHeight) {
    const cv::Rect& box = blob.box;
    if (box.height < kMinHeight * digitHeight || box.height > kMaxHeight * digitHeight) return false;
    if (box.width > kMaxAspect * box.height || box.width < 1) return false;
    const double fill = static_cast<double>(blob.area) / box.area();
    if (fill < kMinFill) return false;
    return fill <= kMaxFillWide || box.width <= kThinAspect * box.height;
}

}  // namespace

double InkSmoothing(int digitHeight) { return std::max(kMinSmoothing, kSmoothing * digitHeight); }

cv::Mat SmoothForInk(const cv::Mat& grey, int digitHeight) {
    if (grey.empty() || grey.type() != CV_8UC1 || digitHeight < 4) return cv::Mat();
    const double sigma = InkSmoothing(digitHeight);
    cv::Mat smooth;
    cv::GaussianBlur(grey, smooth, cv::Size(), sigma, sigma, cv::BORDER_REPLICATE);
    return smooth;
}

InkImages PrepareInkImages(const cv::Mat& grey, int digitHeight, int inkContrast) {
    return PrepareInkImagesFromSmooth(SmoothForInk(grey, digitHeight), digitHeight, inkContrast);
}

InkImages PrepareInkImagesFromSmooth(const cv::Mat& smooth, int digitHeight, int inkContrast) {
    InkImages images;
    if (smooth.empty() || smooth.type() != CV_8UC1 || digitHeight < 4) return images;
    images.smooth = smooth;
    // A window beyond twice the image's larger side averages the same
    // replicated border and only costs time.
    const double limit = 2.0 * std::max(smooth.rows, smooth.cols) + 1.0;
    const int window = std::max(3, static_cast<int>(std::min(limit, kMeanWindow * digitHeight)) | 1);
    cv::blur(smooth, images.mean, cv::Size(window, window), cv::Point(-1, -1), cv::BORDER_REPLICATE);
    // The deviation only sets a floor under the ink contrast and changes
    // slowly over a window, so it is measured on a copy shrunk to about
    // kDeviationCells pixels a window (and at least by half: the float
    // arithmetic would otherwise cost more than all the rest for small
    // digits).
    images.threshold = InkThreshold(smooth, window, std::max(kMinDeviationShrink, window / kDeviationCells), inkContrast);
    return images;
}

namespace {

// The part of an image of `size` that whole cells of `shrink` x `shrink`
// pixels cover, from its top left corner (all of it when a side is shorter
// than one cell).
cv::Size WholeCells(cv::Size size, int shrink) {
    const auto covered = [&](int side) { return side < shrink ? side : side / shrink * shrink; };
    return cv::Size(covered(size.width), covered(size.height));
}

// Each pixel of the copy is the mean of one cell; the few columns and rows
// past the last whole cell are left out (OpenCV's area resize by any but a
// whole factor takes a general path that cost three to thirty times as
// much: the 2 x 2 mean of an image of odd width 0.59 ms against 0.02 ms on
// 641 x 360). A side shorter than one cell is averaged whole.
cv::Mat ShrunkForDeviation(const cv::Mat& smooth, int shrink) {
    if (shrink <= 1) return smooth;
    const cv::Mat cells = smooth(cv::Rect(cv::Point(), WholeCells(smooth.size(), shrink)));
    if (cells.cols >= shrink && cells.rows >= shrink) return CellMeans(cells, shrink);
    cv::Mat small;
    cv::resize(cells, small, cv::Size(std::max(1, cells.cols / shrink), std::max(1, cells.rows / shrink)), 0.0, 0.0,
               cv::INTER_AREA);
    return small;
}

int DeviationWindow(int window, int shrink) { return std::max(3, (window / std::max(1, shrink)) | 1); }

// The shrunk copy's values over the part of the image its cells cover,
// bilinearly; the columns and rows past it take those beside them.
cv::Mat StretchedBack(const cv::Mat& threshold, cv::Size size, int shrink) {
    if (threshold.size() == size) return threshold;
    const cv::Size covered = WholeCells(size, shrink);
    cv::Mat stretched;
    cv::resize(threshold, stretched, covered, 0.0, 0.0, cv::INTER_LINEAR);
    if (covered == size) return stretched;
    cv::Mat whole;
    cv::copyMakeBorder(stretched, whole, 0, size.height - covered.height, 0, size.width - covered.width,
                       cv::BORDER_REPLICATE);
    return whole;
}

}  // namespace

cv::Mat InkThreshold(const cv::Mat& smooth, int window, int shrink, int inkContrast) {
    if (smooth.empty() || smooth.type() != CV_8UC1) return cv::Mat();
    const cv::Mat small = ShrunkForDeviation(smooth, shrink);
    // Half the local standard deviation, rounded to grey levels, and the
    // floor.
    const cv::Mat threshold =
        LocalDeviationFloor(small, DeviationWindow(window, shrink), kDeviationShare, std::max(0, inkContrast));
    return StretchedBack(threshold, smooth.size(), shrink);
}

cv::Mat InkThresholdReference(const cv::Mat& smooth, int window, int shrink, int inkContrast) {
    if (smooth.empty() || smooth.type() != CV_8UC1) return cv::Mat();
    const cv::Mat small = ShrunkForDeviation(smooth, shrink);
    const int half = DeviationWindow(window, shrink) / 2;
    cv::Mat threshold(small.size(), CV_8UC1);
    const auto clamp = [](int v, int n) { return std::min(std::max(v, 0), n - 1); };
    for (int y = 0; y < small.rows; ++y) {
        for (int x = 0; x < small.cols; ++x) {
            double sum = 0.0, squares = 0.0;
            for (int dy = -half; dy <= half; ++dy) {
                for (int dx = -half; dx <= half; ++dx) {
                    const double g = small.at<std::uint8_t>(clamp(y + dy, small.rows), clamp(x + dx, small.cols));
                    sum += g;
                    squares += g * g;
                }
            }
            const double count = (2.0 * half + 1.0) * (2.0 * half + 1.0);
            const double mean = sum / count;
            const double deviation = std::sqrt(std::max(0.0, squares / count - mean * mean));
            threshold.at<std::uint8_t>(y, x) =
                cv::saturate_cast<std::uint8_t>(std::max(deviation * kDeviationShare, static_cast<double>(inkContrast)));
        }
    }
    return StretchedBack(threshold, smooth.size(), shrink);
}

std::vector<DigitBlob> FindDigitBlobs(const cv::Mat& grey, int digitHeight, InkPolarity polarity) {
    return FindDigitBlobs(PrepareInkImages(grey, digitHeight), digitHeight, polarity);
}

std::vector<DigitBlob> FindDigitBlobs(const InkImages& images, int digitHeight, InkPolarity polarity) {
    const cv::Mat& grey = images.smooth;
    const cv::Mat& localMean = images.mean;
    if (grey.empty() || grey.type() != CV_8UC1 || digitHeight < 4 || localMean.size() != grey.size() ||
        localMean.type() != CV_8UC1 || images.threshold.size() != grey.size() ||
        images.threshold.type() != CV_8UC1) {
        return {};
    }
    // Ink: grey - mean > contrast (light) or mean - grey > contrast (dark);
    // saturating 8-bit subtraction keeps the other side at 0.
    cv::Mat difference;
    if (polarity == InkPolarity::Light) {
        cv::subtract(grey, localMean, difference);
    } else {
        cv::subtract(localMean, grey, difference);
    }
    cv::Mat ink;
    cv::compare(difference, images.threshold, ink, cv::CMP_GT);
    // Runs of ink longer than any digit stroke (rails, stripes, poles,
    // seams) would join the digits they cross into one component; a digit
    // crossed by one loses a thin band, which the stencil join heals.
    ClearLongInkRuns(ink, static_cast<int>(std::min(kLongRun * digitHeight, ink.cols + 1.0)),
                     static_cast<int>(std::min(kTallRun * digitHeight, ink.rows + 1.0)));

    // Its connected parts (8-connectivity), found over its runs: the mask
    // of a whole frame is a few per cent ink.
    const InkComponents components = LabelInkComponents(ink);
    std::vector<DigitBlob> pieces;
    const double minPiece = kMinPieceHeight * digitHeight;
    const double maxHeight = kMaxHeight * digitHeight;
    for (std::size_t i = 0; i < components.components.size(); ++i) {
        const cv::Rect& box = components.components[i].box;
        if (box.height < minPiece || box.height > maxHeight) continue;
        // Of digit height but wider than a digit: several digits touching.
        // A shorter wide part may be half of a stencilled digit.
        if (box.height >= kMinHeight * digitHeight && box.width > kMaxAspect * box.height) {
            SplitTouchingDigits(components, static_cast<int>(i), box, pieces);
            continue;
        }
        if (box.width > kMaxAspect * maxHeight) continue;
        pieces.push_back(DigitBlob{box, components.components[i].area});
    }
    // Pieces come in the order of their first run (top to bottom); sorting first keeps the
    // join independent of that.
    const auto leftToRight = [](const DigitBlob& a, const DigitBlob& b) {
        return a.box.x != b.box.x ? a.box.x < b.box.x : a.box.y < b.box.y;
    };
    std::sort(pieces.begin(), pieces.end(), leftToRight);
    JoinStencilPieces(pieces, digitHeight);
    std::vector<DigitBlob> blobs;
    for (const DigitBlob& blob : pieces) {
        if (LooksLikeDigit(blob, digitHeight)) blobs.push_back(blob);
    }
    std::sort(blobs.begin(), blobs.end(), leftToRight);
    return blobs;
}

}  // namespace kalvero
