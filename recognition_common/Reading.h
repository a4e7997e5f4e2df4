#pragma once
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "recognition_common/RecognitionEngine.h"

namespace kalvero {

// One reading of a frame as everything past the engines sees it: the run
// loop's vote, the carriage passes and every output (console, JSON, CSV,
// pictures). Both engines' readings arrive in this one form, so a consumer
// never needs to know which record an engine fills internally.
struct Reading {
    std::string text;                // the digits read
    cv::Rect box;                    // in zone-image pixels
    float score = 0.0f;              // the engine's score; higher is better
    RecognitionEngine engine = RecognitionEngine::Glyph;
    // Learned engine: the confidence of each digit in 0..1 (the score is
    // their product). Empty for the glyph engine, whose digits have no
    // confidence of their own.
    std::vector<float> digitScores;
    // Learned engine: the chance that the reading is right if the painted
    // number's check digit holds, from every digit's alternatives
    // (CheckDigitPosterior); at least the score when the reading's check
    // digit holds, 0 when it fails. 0 for the glyph engine.
    float checkedScore = 0.0f;

    bool operator==(const Reading& other) const {
        return text == other.text && box == other.box && score == other.score &&
               engine == other.engine && digitScores == other.digitScores && checkedScore == other.checkedScore;
    }
};

}  // namespace kalvero
