#pragma once
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "recognition_common/RecognitionEngine.h"

namespace kalvero {

// Digit heights the glyph engine and the sign reader take (their glyphs are
// scaled to it), and theirs when none is given: the window's.
constexpr int kMinGlyphDigitHeight = 16;
constexpr int kMaxGlyphDigitHeight = 99;
constexpr int kDefaultGlyphDigitHeight = 29;

// Settings of one kalvero-read invocation, parsed from its command line.
// The defaults are the window's, but for the learned engine's digit height.
struct ReaderOptions {
    std::string file;                // the first input
    std::vector<std::string> files;  // every input named: files, folders, stream addresses
    int jobs = 0;                    // inputs read at once; 0: one per core
    int reconnectMax = 60;           // seconds a broken-off stream is tried again, 0..86400
    // Learned engine: a hint, 10..250, or 0 when not given (every height
    // looked for). Glyph engine and --sign: 16..99, 29 when not given.
    int digitHeight = 0;
    bool hasDigitHeight = false;
    bool hasZone = false;       // false: the whole scaled first frame
    cv::Rect zone;              // scaled-frame pixels
    float zoom = 1.0f;          // 0.3..1.0
    int depth = 30;             // 5..500
    int threshold = 5;          // at least 1
    // The learned engine unless told otherwise: on the project's evaluation
    // it confirms far more numbers and no wrong ones (README, Two engines).
    RecognitionEngine engine = RecognitionEngine::Learned;
    bool checkDigit = true;        // learned engine: confirm only numbers whose check digit holds
    bool checkDigitVote = false;   // glyph engine: the same rule, when asked for
    bool json = false;
    bool explain = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
    std::string passesFile;     // --passes: where to write the carriage passes (empty: nowhere)
    std::string annotateFile;   // --annotate: video of the finished frames (one input only)
    std::string cropsDir;       // --crops: folder for a picture of each pass
    std::string reportFile;     // --report: HTML page of the passes
    std::optional<int> utcOffsetMinutes;  // --utc-offset: the text summary's times of day at
                                          // this offset east of UTC (else the TZ environment's)
    bool hasSign = false;       // --sign: read a speed-limit sign in this box
    cv::Rect sign;              // scaled-frame pixels
};

// Outcome of parsing: status 0 and an empty message when the options are
// sound, else status 2 (usage) and a one-line message naming the option.
struct ParseOutcome {
    int status = 0;
    std::string message;
    bool ok() const { return status == 0; }
};

// Parses the arguments after the program name. Options may come before or
// after the inputs (one or more), as "--name value" or "--name=value"; "--" ends the options.
// --help and --version need no FILE.
ParseOutcome ParseReaderOptions(const std::vector<std::string>& args, ReaderOptions& options);

// The --help text.
std::string ReaderUsage();

// The --version text.
std::string ReaderVersion();

}  // namespace kalvero
