#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "carriage_number/DigitCandidate.h"
#include "recognizers/RecognitionClass.h"

namespace kalvero {

// Reads the digits of a carriage number inside one candidate region: the
// region's strip is binarised in four modes, and for the modes that suit the
// region's type code the digit positions are taken from a column profile,
// the digit glyphs are matched along the strip and the matched digits are
// assembled into the number. Reading stops at the first strip that gives
// eight digits.
class NumberRailwayCarriageRecognition : public RecognitionClass {
public:
    NumberRailwayCarriageRecognition(std::int32_t codeCount, const std::int32_t* codes);

    bool Recognize(const GlyphTemplateBank& bank, const CandidateRegion& region) override;

    // Fills matchImages and profileImages for the region box (which must lie
    // inside the bank's grey image); needs the bank of the current reading.
    void BinarizeStrip(const cv::Rect& region);

    // One binarised strip per mode (index = mode - 1), for digit matching
    // and for the column profile; held only during Recognize.
    std::vector<cv::Mat> matchImages;
    std::vector<cv::Mat> profileImages;
    // Digits matched in the strip read last.
    std::vector<DigitCandidate> candidates;
    // The frame's bank, set only while Recognize runs.
    const GlyphTemplateBank* bank = nullptr;
    const std::int32_t modeCount;
    // Digit text of the strip read last (empty when it was rejected).
    std::string digits;

private:
    // False when the region is rejected before its strips are read.
    bool ReadRegion(const CandidateRegion& region);
    int ReadStrip(int index, const CandidateRegion& region);
};

}  // namespace kalvero
