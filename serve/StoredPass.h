#pragma once
#include <string>
#include <utility>
#include <vector>

namespace kalvero {

// One carriage pass as the service keeps it: what the reader's pass file
// records, the camera that saw it, its best crop and an operator's
// correction. The value every part of the service hands to the others.
struct StoredPass {
    long long id = 0;                 // given by the store; 0 before it is stored
    std::string camera;               // the camera's name from the configuration
    std::string number;               // as read
    bool checkDigit = false;          // the read number's check digit holds
    std::string startTime;            // ISO 8601 UTC, "2026-12-08T12:34:56.789Z"
    std::string endTime;
    int framesRead = 0;               // frames that read the number
    std::string direction;            // "left", "right" or "none"
    double bestScore = 0.0;
    int bestFrame = 0;
    std::vector<std::pair<int, float>> scores;  // (frame, score) of every frame reading it
    // The pass's record as `kalvero-read --passes` writes it to a JSON Lines
    // file (one JSON object, no line end), its times being the ones above.
    std::string record;
    std::vector<unsigned char> cropPng;  // PNG of the best crop; empty when there is none
    // An operator's correction: empty until one is made.
    std::string correctedNumber;
    std::string correctedAt;          // ISO 8601 UTC of the correction
};

}  // namespace kalvero
