#pragma once
#include <string>

namespace kalvero {

// How the carriages move through the video.
enum class SceneMotion {
    Pass,          // the number crosses from the right edge to the left edge, always in view
    EnterLeave,    // the number enters from the right and leaves on the left
    TwoCarriages,  // two carriages with their own numbers, one after the other
    Static,        // no motion
};

// What a carriage carries instead of a valid eight-digit number.
enum class SceneNegative { None, SevenDigits, SixDigitsWords, Blank };

// Choices beyond SampleOptions for a sample video or still.
struct SceneOptions {
    std::string font = "glyph";     // "glyph", "stencil" or a font file
    bool varied = false;            // draw paint and camera variations from the seed
    SceneMotion motion = SceneMotion::Pass;
    SceneNegative negative = SceneNegative::None;
    std::string number2;            // second carriage's number; empty: drawn from the seed
    int jpegQuality = 0;            // 1..100: every frame passes through JPEG once

    // True when nothing differs from the plain default sample, which
    // SampleScene draws.
    bool IsDefault() const;
};

}  // namespace kalvero
