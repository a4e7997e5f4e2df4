#include "cli/ReaderOptions.h"

#include <limits>
#include <optional>

#include "KalveroVersion.h"
#include "cli/UtcOffset.h"
#include "command_line/CommandLine.h"
#include "command_line/OptionNumbers.h"
#include "command_line/PrintableText.h"
#include "line_reader/DigitHeightRange.h"

namespace kalvero {

namespace {

// Box parts past this are no frame of any camera, yet still fit an int
// when added up.
constexpr int kMaxBoxPart = 1000000;

ParseOutcome Usage(const std::string& message) { return ParseOutcome{2, message}; }

// The options that take no value, and what each one sets.
struct FlagOption {
    const char* name;
    bool ReaderOptions::*field;
    bool value;
};
const FlagOption kFlagOptions[] = {
    {"--json", &ReaderOptions::json, true},
    {"--explain", &ReaderOptions::explain, true},
    {"--verbose", &ReaderOptions::verbose, true},
    {"--help", &ReaderOptions::help, true},
    {"-h", &ReaderOptions::help, true},
    {"--version", &ReaderOptions::version, true},
    {"--check-digit-vote", &ReaderOptions::checkDigitVote, true},
    {"--no-check-digit", &ReaderOptions::checkDigit, false},
};

// The flag option called `name`; null for any other word.
const FlagOption* FindFlagOption(const std::string& name) {
    for (const FlagOption& flag : kFlagOptions) {
        if (name == flag.name) {
            return &flag;
        }
    }
    return nullptr;
}

}  // namespace

std::string ReaderUsage() {
    return "Usage: kalvero-read FILE [options]\n"
           "       kalvero-read FILE|FOLDER... [--jobs N] [options]\n"
           "Reads the 8-digit carriage numbers in a video (anything OpenCV decodes) or a still\n"
           "image (.png, .jpg, .bmp, .tif: one frame) with the same loop as the Kalvero window.\n"
           "Several files, and the videos and images found under a folder (in name order),\n"
           "are read one after the other or, with --jobs, several at once.\n"
           "\n"
           "Options:\n"
           "  --digit-height H   expected digit height in scaled-frame pixels: for the learned\n"
           "                     engine a hint, 10..250 (none: every height from 10 to 250\n"
           "                     is looked for); for the glyph engine and --sign, 16..99 (29)\n"
           "  --zone X,Y,W,H     recognition zone in scaled-frame pixels (whole frame)\n"
           "  --zoom Z           scale factor for every frame, 0.3..1.0 (1.0)\n"
           "  --depth N          readings kept by the vote, 5..500 (30)\n"
           "  --threshold K      equal readings that confirm a number, 1 up to --depth (5)\n"
           "  --engine E         learned (default): reads the common painted fonts;\n"
           "                     glyph: the window's glyph reader\n"
           "  --no-check-digit   learned engine: also read and confirm numbers whose check\n"
           "                     digit fails (rolling stock numbered otherwise)\n"
           "  --check-digit-vote glyph engine: confirm only numbers whose check digit holds\n"
           "  --json             one JSON object per frame on standard output\n"
           "  --explain          glyph engine: per frame, the candidate regions and why each\n"
           "                     gave a reading or not, as one JSON object on standard error\n"
           "  --verbose          also print the recognition time of every frame\n"
           "  --annotate OUT     write the frames with the window's overlays to a video\n"
           "                     (.mp4, .mkv or .avi; one input only)\n"
           "  --crops DIR        write a PNG of each pass's best frame, cut around its number\n"
           "  --report FILE      write an HTML page of the passes with their pictures\n"
           "  --reconnect-max S  a stream (rtsp://, rtmp://, http(s)://, udp://, tcp://,\n"
           "                     srt://) that breaks off or does not answer at the start\n"
           "                     is tried again, with growing waits, for up to S\n"
           "                     seconds, 0..86400 (60)\n"
           "  --jobs N           files read at once, 1..256 (one per core); each stream\n"
           "                     is read on a thread of its own\n"
           "  --passes FILE      append each carriage pass as it ends: .csv gives CSV,\n"
           "                     .jsonl (or .ndjson, .json) JSON Lines\n"
           "  --utc-offset O     print the summary's times of day at this offset from UTC:\n"
           "                     +HH:MM, -HH:MM or Z (the TZ environment's zone)\n"
           "  --sign X,Y,W,H     read the speed-limit sign in this box of the scaled first\n"
           "                     frame instead of reading numbers\n"
           "  --help             this text\n"
           "  --version          the program version\n"
           "  --                 ends the options: every later word is an input, even one\n"
           "                     that starts with '-'\n"
           "\n"
           "Options come before or after the inputs, as --name value or --name=value.\n"
           "Numbers are decimal (no blanks, no hexadecimal).\n"
           "\n"
           "A video that ends before the frame count its file announces (cut short, or\n"
           "still being written) gets the line \"Ended after frame N of M announced.\" in\n"
           "the summary, when at least 2 frames and more than 1% of M are missing (some\n"
           "containers only estimate their count) and the run was not stopped on purpose.\n"
           "\n"
           "Exit status: 0 done (also when nothing was read or damaged frames were skipped),\n"
           "1 an unexpected error,\n"
           "2 wrong option or value, or a zone or box outside the first frame,\n"
           "3 the file (any of the files) cannot be opened or its first frame cannot be read,\n"
           "a stream did not answer or come back within --reconnect-max seconds,\n"
           "or the learned engine's network cannot be loaded,\n"
           "4 the output could not be written (standard output or an output file).\n";
}

std::string ReaderVersion() { return "kalvero-read (Kalvero) " KALVERO_VERSION_TEXT "\n"; }

ParseOutcome ParseReaderOptions(const std::vector<std::string>& args, ReaderOptions& options) {
    options = ReaderOptions{};
    static const OptionNames kNames{
        {"--json", "--explain", "--verbose", "--help", "-h", "--version", "--check-digit-vote",
         "--no-check-digit"},
        {"--digit-height", "--zone", "--zoom", "--depth", "--threshold", "--sign", "--engine",
         "--passes", "--jobs", "--annotate", "--crops", "--report", "--reconnect-max",
         "--utc-offset"}};
    std::vector<CommandWord> words;
    const std::string split = SplitCommandLine(args, kNames, words);
    if (!split.empty()) {
        return Usage(split);
    }
    bool depthGiven = false;
    for (const CommandWord& word : words) {
        const std::string& name = word.name;
        const std::string& value = word.value;
        std::string problem;
        if (word.IsOperand()) {
            if (options.files.empty()) {
                options.file = value;
            }
            options.files.push_back(value);
        } else if (const FlagOption* flag = FindFlagOption(name)) {
            options.*(flag->field) = flag->value;
        } else if (name == "--digit-height") {
            problem = ParseWholeOption(name, value, kMinSearchedDigitHeight, kMaxSearchedDigitHeight,
                                       options.digitHeight);
            options.hasDigitHeight = true;
        } else if (name == "--depth") {
            problem = ParseWholeOption(name, value, 5, 500, options.depth);
            depthGiven = true;
        } else if (name == "--threshold") {
            problem = ParseWholeOption(name, value, 1, std::numeric_limits<int>::max(), options.threshold);
        } else if (name == "--zoom") {
            double z = 0.0;
            problem = ParseRealOption(name, value, 0.3, 1.0, z);
            if (problem.empty()) {
                options.zoom = static_cast<float>(z);
            }
        } else if (name == "--engine") {
            const std::optional<RecognitionEngine> engine = EngineFromName(value);
            if (!engine) {
                problem = name + ": '" + PrintableText(value) + "' is not an engine (learned or glyph)";
            } else {
                options.engine = *engine;
            }
        } else if (name == "--reconnect-max") {
            problem = ParseWholeOption(name, value, 0, 86400, options.reconnectMax);
        } else if (name == "--utc-offset") {
            options.utcOffsetMinutes = ParseUtcOffset(value);
            if (!options.utcOffsetMinutes) {
                problem = name + ": '" + PrintableText(value) +
                          "' is not an offset from UTC (+HH:MM or -HH:MM, -12:00..+14:00, or Z)";
            }
        } else if (name == "--jobs") {
            problem = ParseWholeOption(name, value, 1, 256, options.jobs);
        } else if (name == "--passes" || name == "--annotate" || name == "--crops" ||
                   name == "--report") {
            if (value.empty()) {
                problem = name + " needs a file name";
            } else {
                (name == "--passes"     ? options.passesFile
                 : name == "--annotate" ? options.annotateFile
                 : name == "--crops"    ? options.cropsDir
                                        : options.reportFile) = value;
            }
        } else if (name == "--zone" || name == "--sign") {
            OptionBox box;
            problem = ParseBoxOption(name, value, kMaxBoxPart, box);
            const cv::Rect rect(box.x, box.y, box.width, box.height);
            if (problem.empty()) {
                (name == "--zone" ? options.zone : options.sign) = rect;
                (name == "--zone" ? options.hasZone : options.hasSign) = true;
            }
        }
        if (!problem.empty()) {
            return Usage(problem);
        }
    }
    if (options.help || options.version) {
        return {};
    }
    const bool glyphHeight = options.hasSign || options.engine == RecognitionEngine::Glyph;
    if (options.hasDigitHeight && glyphHeight &&
        (options.digitHeight < kMinGlyphDigitHeight || options.digitHeight > kMaxGlyphDigitHeight)) {
        return Usage("--digit-height " + std::to_string(options.digitHeight) + " is out of range for " +
                     (options.hasSign ? "--sign" : "the glyph engine") + " (" + std::to_string(kMinGlyphDigitHeight) +
                     ".." + std::to_string(kMaxGlyphDigitHeight) + ")");
    }
    if (!options.hasDigitHeight) {
        options.digitHeight = glyphHeight ? kDefaultGlyphDigitHeight : 0;
    }
    if (options.explain && !options.hasSign && options.engine == RecognitionEngine::Learned) {
        return Usage("--explain traces the glyph engine's search; use it with --engine glyph");
    }
    if (options.files.empty()) {
        return Usage("no FILE given");
    }
    if (options.threshold > options.depth) {
        // The vote keeps `depth` readings: more equal ones can never be.
        return Usage("--threshold " + std::to_string(options.threshold) + " is more than --depth " +
                     std::to_string(options.depth) + (depthGiven ? "" : " (the default)") +
                     ": the vote keeps only that many readings and could never confirm a number");
    }
    return {};
}

}  // namespace kalvero
