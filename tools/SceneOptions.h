#pragma once
#include <string>
#include <vector>

namespace kalvero {

// How the carriages move through the video.
enum class SceneMotion {
    Pass,          // the number crosses from the right edge to the left edge, always in view
    EnterLeave,    // the number enters from the right and leaves on the left
    TwoCarriages,  // two carriages with their own numbers, one after the other
    Static,        // no motion
};

// What a carriage carries instead of a valid eight-digit number.
enum class SceneNegative {
    None,
    SevenDigits,
    SixDigitsWords,
    Blank,
    PhoneNumber,    // "8 800 555-35-35", "+7 495 1234567"
    Date,           // "12.05.2019"
    BadCheckDigit,  // eight digits whose check digit fails
    NineDigits,
    TenDigits,
    SevenPlusOne,   // seven digits and a lone digit a little apart
    Ladder,         // rungs between two rails
    Grille,         // a row of slats in a frame
    Rivets,         // rows of rivet heads and short bars
};

// What real trackside cameras see beyond a clean daylight pass; several
// may be combined (SceneConditions.h names them).
enum class SceneCondition {
    Perspective,     // camera yawed 25-45 degrees off the carriage side, rolled up to 8
    Night,           // dark, sodium or LED light, a lamp with glare and bloom, heavy noise
    Infrared,        // monochrome IR: flat, changed reflectance, bloom, noise
    Interlaced,      // two fields taken half a frame apart
    RollingShutter,  // rows exposed one after another: moving edges skew
    Rain,
    Snow,
    Dirt,            // grime over parts of the digits
    Graffiti,        // spray strokes over parts of the digits
    Faded,           // paint only 15-30 grey levels from the ink
    MotionBlur,      // horizontal smear up to a third of a digit's width
    Pole,            // a mast standing in front of the number's path
    PaintedTwice,    // the number at both ends of the side, both in view for a while
    GroupGap,        // the digits in groups (4-4, 2-4-2) 1.5-3.5 digit widths apart
    Fast,            // the number crosses the frame in 5-8 frames
};

// Choices beyond SampleOptions for a sample video or still.
struct SceneOptions {
    std::string font = "glyph";     // "glyph", "stencil", "block-stencil", "hand" or a font file
    bool varied = false;            // draw paint and camera variations from the seed
    SceneMotion motion = SceneMotion::Pass;
    SceneNegative negative = SceneNegative::None;
    std::string number2;            // second carriage's number; empty: drawn from the seed
    int jpegQuality = 0;            // 1..100: every frame passes through JPEG once
    std::vector<SceneCondition> conditions;  // in the order given, no repeats
    double yawDegrees = -1.0;       // perspective: 0..45 fixes the yaw; negative: drawn (25-45)
    double rollDegrees = 99.0;      // perspective: -8..8 fixes the roll; outside: drawn

    bool Has(SceneCondition condition) const;

    // True when nothing differs from the plain default sample, which
    // SampleScene draws.
    bool IsDefault() const;
};

}  // namespace kalvero
