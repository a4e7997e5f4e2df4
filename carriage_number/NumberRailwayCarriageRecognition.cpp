#include "carriage_number/NumberRailwayCarriageRecognition.h"

#include "carriage_number/DigitMatching.h"
#include "carriage_number/DigitPositions.h"
#include "carriage_number/NumberAssembly.h"
#include "carriage_number/StripBinarisation.h"
#include "carriage_number/StripSchedule.h"
#include "detection/GlyphTemplateBank.h"
#include "recognizers/RecognitionTrace.h"

namespace kalvero {

namespace {
// The glyph reader's fixed strip limits: at most ten profile peaks (eight
// digits and a little clutter) are taken as digit positions, and a strip
// with fewer than three matched digits is not assembled, as the gaps would
// then be mostly guessed.
constexpr int kPeakLimit = 10;
constexpr std::size_t kMinCandidates = 3;
}  // namespace

NumberRailwayCarriageRecognition::NumberRailwayCarriageRecognition(std::int32_t count,
                                                                   const std::int32_t* list)
    : RecognitionClass(count, list), modeCount(kStripModeCount) {}

void NumberRailwayCarriageRecognition::BinarizeStrip(const cv::Rect& region) {
    CV_Assert(bank != nullptr);
    kalvero::BinarizeStrip(bank->greyImage, region, bank->glyphWidth, matchImages, profileImages);
}

bool NumberRailwayCarriageRecognition::Recognize(const GlyphTemplateBank& glyphBank,
                                                 const CandidateRegion& region) {
    bank = &glyphBank;
    const bool read = ReadRegion(region);
    matchImages.clear();
    profileImages.clear();
    bank = nullptr;  // the bank belongs to the frame
    return read && status >= 0;
}

bool NumberRailwayCarriageRecognition::ReadRegion(const CandidateRegion& region) {
    const int H = bank->digitHeight;
    const int W = bank->glyphWidth;
    // Only the part of the region inside the grey image is read.
    const cv::Rect box = cv::Rect(region.x, region.y, region.width, region.height) &
                         cv::Rect(0, 0, bank->greyImage.cols, bank->greyImage.rows);
    if (box.width <= 0 || box.height <= 0) {
        return false;
    }
    // Too low or too narrow for a glyph: rejected before any image work.
    if (box.height < H + 2 || box.width - 1 < W) {
        return false;
    }
    // The reference path binarises all eight images up front; the fast
    // path only the two of each strip it reads (a region of type 301 or 303
    // reads at most two of the four), just before reading it.
    const bool lazy = bank->correlationPath == CorrelationPath::Fast;
    if (lazy) {
        matchImages.assign(static_cast<std::size_t>(modeCount), cv::Mat());
        profileImages.assign(static_cast<std::size_t>(modeCount), cv::Mat());
    } else {
        BinarizeStrip(box);
    }
    const int stripCount = static_cast<int>(matchImages.size());
    ForEachScheduledStrip(region.typeCode, stripCount, [&](int i) {
        if (lazy) {
            const std::size_t s = static_cast<std::size_t>(i);
            BinarizeStripMode(bank->greyImage, box, bank->glyphWidth, i + 1, matchImages[s],
                              profileImages[s]);
        }
        const int assembled = ReadStrip(i, region);
        return StripOutcome{assembled, static_cast<int>(digits.size())};
    });
    return true;
}

int NumberRailwayCarriageRecognition::ReadStrip(int index, const CandidateRegion& region) {
    const std::size_t i = static_cast<std::size_t>(index);
    score = 0.0f;
    digits.clear();
    candidates.clear();
    const std::vector<std::int32_t> positions =
        FindDigitPositions(profileImages[i], kPeakLimit, bank->digitHeight + 5);
    MatchDigits(matchImages[i], *bank, candidates);
    const int matched = static_cast<int>(candidates.size());
    int n = 0;
    if (candidates.size() >= kMinCandidates) {
        n = AssembleNumber(candidates, positions, bank->glyphWidth, digits, *this);
    }
    if (trace_ != nullptr) {
        trace_->OnStrip(region, index, matched, digits, n);
    }
    return n;
}

}  // namespace kalvero
