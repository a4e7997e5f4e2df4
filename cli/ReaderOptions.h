#pragma once
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "detection/RecognitionEngine.h"

namespace kalvero {

// Settings of one kalvero-read invocation, parsed from its command line.
// The defaults are the window's.
struct ReaderOptions {
    std::string file;                // the first input
    std::vector<std::string> files;  // every input named: files, folders, stream addresses
    int jobs = 0;                    // inputs read at once; 0: one per core
    int reconnectMax = 60;           // seconds a broken-off stream is tried again, 0..86400
    int digitHeight = 29;       // 16..99
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
