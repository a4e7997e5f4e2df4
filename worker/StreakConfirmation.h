#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "recognition_common/Reading.h"

namespace kalvero {

// Confirms a number that is read with a high score on several consecutive
// frames, beside the vote: a carriage at 120 km/h crosses a camera's view
// in about five frames at 25 fps, too few for a vote over the last thirty.
//
// A frame's qualifying texts are those of its readings of eight digits
// with a score of at least kMinScore; under the check-digit rule, those
// whose check digit holds and whose score or chance of being right given
// that rule (Reading::checkedScore: a doubtful digit the check digit
// settles) is at least kMinScore. A text read several times in one frame
// (the number painted twice on one side) counts once. Each qualifying text's
// streak grows by one; the streak of every other text ends. A text whose
// streak has reached `framesNeeded` is confirmed for as long as it lasts;
// of several, the longest streak, then the best score of the frame, then
// the first read.
class StreakConfirmation {
public:
    // The learned engine's score is the product of its eight digits'
    // confidences, about the chance that the reading is right: a reading
    // below this is as likely a near miss as the number.
    static constexpr float kMinScore = 0.8f;
    static constexpr std::size_t kNumberLength = 8;

    // `framesNeeded` below 1 confirms nothing.
    StreakConfirmation(int framesNeeded, bool checkDigitRule);

    // Takes one frame's readings (best first or in any order) and returns
    // the confirmed text, or an empty text when none is.
    std::string Take(const std::vector<Reading>& readings);

    int FramesNeeded() const { return framesNeeded_; }

private:
    struct Streak {
        std::string text;
        std::int32_t frames = 0;
    };

    int framesNeeded_;
    bool checkDigitRule_;
    std::vector<Streak> streaks_;  // the texts of the last frame, in the order first read
};

}  // namespace kalvero
