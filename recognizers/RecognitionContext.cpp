#include "recognizers/RecognitionContext.h"

#include <cstring>

#include "carriage_number/NumberRailwayCarriageRecognition.h"
#include "recognizers/RecognitionTrace.h"
#include "recognizers/TrafficSignRecognition.h"

namespace kalvero {

namespace {
// A reading's text field keeps two bytes free (the terminator and a spare):
// 99 characters fit.
constexpr std::size_t kMaxTextLength = kResultTextSize - 2;
// Digits of a carriage number, all of them required when the caller asks
// for whole numbers.
constexpr std::size_t kFullNumberLength = 8;
}  // namespace

std::unique_ptr<RecognitionClass> CreateRecognizer(std::int32_t typeCode, std::int32_t codeCount,
                                                   const std::int32_t* codes) {
    if (typeCode <= 1) {
        return nullptr;
    }
    if (typeCode == kSignTypeCode) {
        return std::make_unique<TrafficSignRecognition>(codeCount, codes);
    }
    if (typeCode >= kNumberTypeCodeBase) {
        return std::make_unique<NumberRailwayCarriageRecognition>(codeCount, codes);
    }
    return nullptr;
}

RecognitionContext::RecognitionContext(std::int32_t count, const std::int32_t* list)
    : codeCount(count > 0 ? count : 0) {
    if (codeCount > 0 && list != nullptr) {
        codes.assign(list, list + codeCount);
    } else {
        codeCount = 0;
    }
}

void RecognitionContext::DispatchRegion(const GlyphTemplateBank& bank,
                                        const CandidateRegion& region) {
    std::unique_ptr<RecognitionClass> recognizer =
        CreateRecognizer(region.typeCode, codeCount, codes.data());
    if (!recognizer) {
        if (trace_ != nullptr) {
            trace_->OnRegionResult(region, "",
                                   "no recogniser for type code " + std::to_string(region.typeCode));
        }
        return;
    }
    ReadWith(std::move(recognizer), bank, region);
}

void RecognitionContext::ReadWith(std::unique_ptr<RecognitionClass> recognizer,
                                  const GlyphTemplateBank& bank, const CandidateRegion& region) {
    if (!recognizer) {
        return;
    }
    recognizer->SetTrace(trace_);

    const CandidateRegion copy = region;
    if (!recognizer->Recognize(bank, copy)) {
        if (trace_ != nullptr) {
            trace_->OnRegionResult(region, "", "no reading");
        }
        return;
    }

    const std::string text = recognizer->GetText();
    if (requireFullNumber && text.size() != kFullNumberLength) {
        if (trace_ != nullptr) {
            trace_->OnRegionResult(region, "",
                                   "reading \"" + text + "\" has " + std::to_string(text.size()) +
                                       " characters, 8 required");
        }
        return;
    }
    // Limits of the result record; no recogniser of this system reaches them.
    if (codes.empty() || text.size() > kMaxTextLength || recognizer->glyphScoreCount < 0 ||
        recognizer->glyphScoreCount > kMaxGlyphScores) {
        if (trace_ != nullptr) {
            trace_->OnRegionResult(region, "", "reading does not fit the result record");
        }
        return;
    }

    resultCodes.push_back(codes.front());
    resultTexts.push_back(text);

    // Zero every byte, padding included, before the fields are set.
    RecognitionResult record;
    std::memset(&record, 0, sizeof record);
    record.typeCode = codes.front();
    record.glyphScoreCount = recognizer->glyphScoreCount;
    for (std::int32_t i = 0; i < record.glyphScoreCount; ++i) {
        record.glyphScores[i] = recognizer->GetGlyphScore(i);
    }
    std::memcpy(record.text, text.data(), text.size());
    record.x = region.x;
    record.y = region.y;
    record.width = region.width;
    record.height = region.height;
    record.rankValue = recognizer->rankValue;
    record.score = recognizer->score;
    results.push_back(record);
    if (trace_ != nullptr) {
        trace_->OnRegionResult(region, text, "");
    }
}

}  // namespace kalvero
