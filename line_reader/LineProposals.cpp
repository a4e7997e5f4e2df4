#include "line_reader/LineProposals.h"

#include <algorithm>

#include "line_reader/BlobRows.h"
#include "line_reader/DigitBlobs.h"

namespace kalvero {

namespace {

// Digits in a carriage number: the count rows are ranked against.
constexpr int kNumberDigits = 8;
// Longest row split into runs of eight: longer rows are text, not numbers,
// and would only flood the reader with windows.
constexpr int kMaxWindowedRow = 24;
// A run of eight cut from a longer row ranks a little below a row of
// exactly eight, which is the more likely number.
constexpr float kWindowRankFactor = 0.9f;
// Boxes overlapping more than this are the same row.
constexpr double kSameRowIou = 0.8;

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

void AddRowProposals(const BlobRow& row, std::vector<LineProposal>& proposals) {
    const std::vector<DigitBlob>& blobs = row.blobs;
    proposals.push_back(ProposalOf(blobs, RankOf(blobs, 0, blobs.size())));
    if (blobs.size() <= static_cast<std::size_t>(kNumberDigits) || blobs.size() > kMaxWindowedRow) return;
    for (std::size_t first = 0; first + kNumberDigits <= blobs.size(); ++first) {
        const std::vector<DigitBlob> run(blobs.begin() + static_cast<std::ptrdiff_t>(first),
                                         blobs.begin() + static_cast<std::ptrdiff_t>(first + kNumberDigits));
        proposals.push_back(ProposalOf(run, kWindowRankFactor * RankOf(blobs, first, kNumberDigits)));
    }
}

}  // namespace

double BoxIou(const cv::Rect& a, const cv::Rect& b) {
    if (a.empty() || b.empty()) return 0.0;
    const double overlap = (a & b).area();
    return overlap / (static_cast<double>(a.area()) + b.area() - overlap);
}

std::vector<LineProposal> ProposeLines(const cv::Mat& grey, int digitHeight, int maxLines) {
    if (grey.empty() || grey.type() != CV_8UC1 || digitHeight < 4 || maxLines < 1) return {};
    // No digit taller than the image fits in it (the band of accepted blob
    // heights starts at 0.6 h).
    if (digitHeight / 2 > grey.rows) return {};
    const InkImages images = PrepareInkImages(grey, digitHeight);
    std::vector<LineProposal> proposals;
    for (const InkPolarity polarity : {InkPolarity::Light, InkPolarity::Dark}) {
        const std::vector<DigitBlob> blobs = FindDigitBlobs(images, digitHeight, polarity);
        for (const BlobRow& row : GroupBlobRows(blobs, kMinRowBlobs)) AddRowProposals(row, proposals);
    }
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

}  // namespace kalvero
