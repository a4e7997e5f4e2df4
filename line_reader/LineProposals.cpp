#include "line_reader/LineProposals.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "line_reader/BlobRows.h"
#include "line_reader/DigitBlobs.h"
#include "line_reader/DigitGroups.h"

namespace kalvero {

namespace {

// Digit height at which blobs are looked for: tall enough to keep the
// strokes of light fonts apart from their neighbours, small enough that a
// zone of large digits costs little more than one of small digits.
constexpr int kWorkingHeight = 22;
// Digits in a carriage number: the count rows are ranked against.
constexpr int kNumberDigits = 8;
// Longest row split into runs of eight: longer rows are text, not numbers,
// and would only flood the reader with windows.
constexpr int kMaxWindowedRow = 24;
// A run of eight cut from a longer row ranks a little below a row of
// exactly eight, which is the more likely number.
constexpr float kWindowRankFactor = 0.9f;
// A run of eight is cut from a longer row only where the gaps around it
// are this much wider than the row's usual gap.
constexpr double kApartGap = 1.6;
// Digit groups worth joining to others (a lone digit is too easily a rivet
// or a bolt), and the most blobs a joined row may have: eight and a stray
// one on either side.
constexpr int kMinGroupBlobs = 2;
constexpr int kMaxJoinedBlobs = 10;
// Boxes overlapping more than this are the same row.
constexpr double kSameRowIou = 0.8;

// Scales blob boxes (and ink) found in a smaller copy back to the image,
// rounding outwards.
void ScaleBlobs(std::vector<DigitBlob>& blobs, double sx, double sy, cv::Size image) {
    for (DigitBlob& blob : blobs) {
        const int x0 = static_cast<int>(std::floor(blob.box.x * sx));
        const int y0 = static_cast<int>(std::floor(blob.box.y * sy));
        const int x1 = std::min(image.width, static_cast<int>(std::ceil((blob.box.x + blob.box.width) * sx)));
        const int y1 = std::min(image.height, static_cast<int>(std::ceil((blob.box.y + blob.box.height) * sy)));
        blob.box = cv::Rect(x0, y0, std::max(1, x1 - x0), std::max(1, y1 - y0));
        blob.area = static_cast<int>(std::lround(blob.area * sx * sy));
    }
}

float RankOf(const std::vector<DigitBlob>& blobs, std::size_t first, std::size_t count) {
    int lo = blobs[first].box.height;
    int hi = lo;
    for (std::size_t i = first; i < first + count; ++i) {
        lo = std::min(lo, blobs[i].box.height);
        hi = std::max(hi, blobs[i].box.height);
    }
    // Uneven heights halve the rank at most: a row of real digits is even.
    const float spread = std::min(0.5f, static_cast<float>(hi - lo) / std::max(1, hi));
    const int offCount = std::abs(static_cast<int>(count) - kNumberDigits);
    return (1.0f - spread) / (1.0f + static_cast<float>(offCount));
}

LineProposal ProposalOf(const std::vector<DigitBlob>& blobs, float rank) {
    LineProposal proposal;
    proposal.line = FitRowLine(blobs);
    proposal.box = blobs.front().box;
    for (const DigitBlob& blob : blobs) proposal.box |= blob.box;
    proposal.blobCount = static_cast<int>(blobs.size());
    proposal.rank = rank;
    return proposal;
}

// The usual distance from one digit's centre to the next: the median over
// the row, so that a gap between digit groups does not count. A single blob
// gives its width.
float DigitPitch(const std::vector<DigitBlob>& blobs) {
    std::vector<float> steps;
    for (std::size_t i = 0; i + 1 < blobs.size(); ++i) steps.push_back(blobs[i + 1].CentreX() - blobs[i].CentreX());
    if (steps.empty()) return blobs.empty() ? 0.0f : static_cast<float>(blobs.front().box.width);
    std::nth_element(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2), steps.end());
    return steps[steps.size() / 2];
}

// A row of fewer than eight blobs may have lost digits at either end (to a
// panel's edge, a smear, paint too faint to make a blob): its line reaches
// as many digit pitches further on both sides as blobs are missing, so that
// the line model sees every digit there is. The box grows the same way
// along x, within the image.
void ExtendToEightDigits(LineProposal& proposal, float pitch, cv::Size image) {
    const int missing = kNumberDigits - proposal.blobCount;
    if (missing <= 0 || !(pitch > 0.0f)) return;
    proposal.line.length += 2.0f * static_cast<float>(missing) * pitch;
    const float along = static_cast<float>(missing) * pitch *
                        std::cos(proposal.line.angleDegrees * static_cast<float>(CV_PI) / 180.0f);
    const int grow = static_cast<int>(std::ceil(along));
    const int x0 = std::max(0, proposal.box.x - grow);
    const int x1 = std::min(image.width, proposal.box.x + proposal.box.width + grow);
    proposal.box.x = x0;
    proposal.box.width = std::max(1, x1 - x0);
}

void AddRowProposals(const BlobRow& row, cv::Size image, std::vector<LineProposal>& proposals) {
    const std::vector<DigitBlob>& blobs = row.blobs;
    proposals.push_back(ProposalOf(blobs, RankOf(blobs, 0, blobs.size())));
    ExtendToEightDigits(proposals.back(), DigitPitch(blobs), image);
    if (blobs.size() <= static_cast<std::size_t>(kNumberDigits) || blobs.size() > kMaxWindowedRow) return;
    // Gap after blob i (to blob i + 1), and the usual gap of the row.
    std::vector<int> gaps;
    for (std::size_t i = 0; i + 1 < blobs.size(); ++i) {
        gaps.push_back(blobs[i + 1].box.x - (blobs[i].box.x + blobs[i].box.width));
    }
    std::vector<int> sorted = gaps;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
    const double usual = std::max(1, sorted[sorted.size() / 2]);
    const auto apart = [&](std::size_t gap) { return gaps[gap] > kApartGap * usual; };
    for (std::size_t first = 0; first + kNumberDigits <= blobs.size(); ++first) {
        // Only a run set apart from the blobs beside it: a run cut out of
        // evenly spaced text would crop a piece of the next character into
        // the margin and be misread.
        const std::size_t last = first + kNumberDigits - 1;
        if ((first > 0 && !apart(first - 1)) || (last + 1 < blobs.size() && !apart(last))) continue;
        const std::vector<DigitBlob> run(blobs.begin() + static_cast<std::ptrdiff_t>(first),
                                         blobs.begin() + static_cast<std::ptrdiff_t>(first + kNumberDigits));
        proposals.push_back(ProposalOf(run, kWindowRankFactor * RankOf(blobs, first, kNumberDigits)));
    }
}

// Faded paint, 15 to 30 grey levels off its ground and less once blurred,
// does not stand out by kInkContrast. In a copy of the image halved by
// area at least once (each pixel the mean of four or more, which quiets
// noise and grain) it may stand out by the lower kAveragedInkContrast, as
// on the levels of the search over every height; the copy is halved until
// the digits are below twice kWorkingHeight. A stray row found in the
// first search (a distractor, a panel edge) must not keep the number's own
// faint row from being searched, so this search always runs; its rows rank
// by kFaintRankFactor below those of the first search, which win where
// both find a row, and a row found by both is kept once
// (KeepBestProposals). Its copy has a quarter of the pixels or fewer.
// Digits of fewer than kMinFaintHeight pixels once halved are too small to
// tell from grain.
constexpr int kMinFaintHeight = 5;
constexpr float kFaintRankFactor = 0.9f;
void AddFaintRowProposals(const cv::Mat& grey, int digitHeight, std::vector<LineProposal>& proposals) {
    cv::Mat work = grey;
    int workHeight = digitHeight;
    do {
        if (workHeight / 2 < kMinFaintHeight || work.cols < 2 || work.rows < 2) return;
        cv::Mat half;
        cv::resize(work, half, cv::Size(work.cols / 2, work.rows / 2), 0.0, 0.0, cv::INTER_AREA);
        work = half;
        workHeight /= 2;
    } while (workHeight >= 2 * kWorkingHeight);
    const std::size_t first = proposals.size();
    AddLevelProposals(work, workHeight, grey.size(), proposals, kAveragedInkContrast);
    for (std::size_t i = first; i < proposals.size(); ++i) proposals[i].rank *= kFaintRankFactor;
}

}  // namespace

double BoxIou(const cv::Rect& a, const cv::Rect& b) {
    if (a.empty() || b.empty()) return 0.0;
    const double overlap = (a & b).area();
    return overlap / (static_cast<double>(a.area()) + b.area() - overlap);
}

void AddLevelProposals(const cv::Mat& work, int workHeight, cv::Size image, std::vector<LineProposal>& proposals,
                       int inkContrast) {
    if (work.empty() || work.type() != CV_8UC1 || workHeight < 4) return;
    AddLevelProposals(PrepareInkImages(work, workHeight, inkContrast), workHeight, image, proposals);
}

void AddLevelProposals(const InkImages& images, int workHeight, cv::Size image, std::vector<LineProposal>& proposals) {
    const cv::Mat& work = images.smooth;
    if (work.empty() || work.type() != CV_8UC1 || workHeight < 4) return;
    const double sx = static_cast<double>(image.width) / work.cols;
    const double sy = static_cast<double>(image.height) / work.rows;
    const bool scaled = work.size() != image;
    for (const InkPolarity polarity : {InkPolarity::Light, InkPolarity::Dark}) {
        std::vector<DigitBlob> blobs = FindDigitBlobs(images, workHeight, polarity);
        if (scaled) ScaleBlobs(blobs, sx, sy, image);
        const std::size_t before = proposals.size();
        // Groups of two or more digits, each a row when long enough, and
        // groups on one line a few digit widths apart joined into one.
        const std::vector<BlobRow> groups = GroupBlobRows(blobs, kMinGroupBlobs);
        for (const BlobRow& row : groups) {
            if (static_cast<int>(row.blobs.size()) >= kMinRowBlobs) AddRowProposals(row, image, proposals);
        }
        for (const BlobRow& row : JoinDigitGroups(groups, kMinRowBlobs, kMaxJoinedBlobs)) {
            AddRowProposals(row, image, proposals);
        }
        for (std::size_t i = before; i < proposals.size(); ++i) {
            proposals[i].lightDigits = polarity == InkPolarity::Light;
        }
    }
}

std::vector<LineProposal> KeepBestProposals(std::vector<LineProposal> proposals, int maxLines) {
    std::stable_sort(proposals.begin(), proposals.end(),
                     [](const LineProposal& a, const LineProposal& b) { return a.rank > b.rank; });
    std::vector<LineProposal> kept;
    for (const LineProposal& proposal : proposals) {
        if (static_cast<int>(kept.size()) >= maxLines) break;
        const bool repeated = std::any_of(kept.begin(), kept.end(), [&](const LineProposal& other) {
            return BoxIou(proposal.box, other.box) > kSameRowIou;
        });
        if (!repeated) kept.push_back(proposal);
    }
    return kept;
}

namespace {

// A grey image ProposeLines and ProposeFaintLines search, and a digit
// height they can look for in it: below 4 pixels blobs are specks (the
// same floor ReadLines applies), and no digit taller than twice the image
// fits in it (the band of accepted blob heights starts at 0.6 h).
bool CanPropose(const cv::Mat& grey, int digitHeight, int maxLines) {
    return !grey.empty() && grey.type() == CV_8UC1 && digitHeight >= 4 && maxLines >= 1 && digitHeight / 2 <= grey.rows;
}

// The copy of `grey` where digits of `digitHeight` are about kWorkingHeight
// pixels tall (never enlarged), and their height there.
cv::Mat WorkingCopy(const cv::Mat& grey, int digitHeight, int& workHeight) {
    cv::Mat work = grey;
    workHeight = digitHeight;
    // Halving by pyramid steps averages pixels (no aliasing of thin
    // strokes) at a fraction of the cost of an area resize; the rest of the
    // way, less than a halving, is bilinear.
    while (workHeight >= 2 * kWorkingHeight && work.cols >= 2 && work.rows >= 2) {
        cv::Mat half;
        cv::pyrDown(work, half);
        work = half;
        workHeight /= 2;
    }
    if (workHeight > kWorkingHeight) {
        const double scale = static_cast<double>(kWorkingHeight) / workHeight;
        const cv::Size size(std::max(1, static_cast<int>(std::lround(work.cols * scale))),
                            std::max(1, static_cast<int>(std::lround(work.rows * scale))));
        cv::Mat smaller;
        cv::resize(work, smaller, size, 0.0, 0.0, cv::INTER_LINEAR);
        work = smaller;
        workHeight = kWorkingHeight;
    }
    return work;
}

}  // namespace

std::vector<LineProposal> ProposeLines(const cv::Mat& grey, int digitHeight, int maxLines) {
    if (!CanPropose(grey, digitHeight, maxLines)) return {};
    // Digits are looked for in a copy scaled down to where they are about
    // kWorkingHeight pixels tall; their blobs are scaled back.
    int workHeight = 0;
    const cv::Mat work = WorkingCopy(grey, digitHeight, workHeight);
    std::vector<LineProposal> proposals;
    AddLevelProposals(work, workHeight, grey.size(), proposals);
    AddFaintRowProposals(grey, digitHeight, proposals);
    return KeepBestProposals(std::move(proposals), maxLines);
}

std::vector<LineProposal> ProposeFaintLines(const cv::Mat& grey, int digitHeight, int maxLines) {
    if (!CanPropose(grey, digitHeight, maxLines)) return {};
    int workHeight = 0;
    const cv::Mat work = WorkingCopy(grey, digitHeight, workHeight);
    std::vector<LineProposal> proposals;
    AddLevelProposals(work, workHeight, grey.size(), proposals, kFaintInkContrast);
    return KeepBestProposals(std::move(proposals), maxLines);
}

}  // namespace kalvero
