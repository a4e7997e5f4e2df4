#include "cli/ReaderOptions.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "KalveroVersion.h"
#include "cli/PrintableText.h"

namespace kalvero {

namespace {

constexpr long long kMaxIntOption = 2147483647;

// The number must be the whole text: no blanks before it (which strtoll
// would skip) and nothing after it, not even past a NUL byte.
bool WholeText(const std::string& text, const char* end) {
    return !std::isspace(static_cast<unsigned char>(text.front())) && end == text.c_str() + text.size();
}

bool ParseWhole(const std::string& text, long long& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && WholeText(text, end);
}

bool ParseReal(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && WholeText(text, end) && std::isfinite(value);
}

// "X,Y,W,H" with X, Y >= 0 and W, H >= 1.
bool ParseBox(const std::string& text, cv::Rect& box) {
    long long parts[4];
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = text.find(',', start);
        const bool last = i == 3;
        if (last != (comma == std::string::npos)) {
            return false;
        }
        const std::string piece = text.substr(start, last ? std::string::npos : comma - start);
        if (!ParseWhole(piece, parts[i]) || parts[i] < 0 || parts[i] > 1000000) {
            return false;
        }
        start = comma + 1;
    }
    if (parts[2] < 1 || parts[3] < 1) {
        return false;
    }
    box = cv::Rect(static_cast<int>(parts[0]), static_cast<int>(parts[1]),
                   static_cast<int>(parts[2]), static_cast<int>(parts[3]));
    return true;
}

ParseOutcome Usage(const std::string& message) { return ParseOutcome{2, message}; }

ParseOutcome WholeInRange(const std::string& name, const std::string& value, long long low,
                          long long high, int& target) {
    long long v = 0;
    if (!ParseWhole(value, v)) {
        return Usage(name + ": '" + PrintableText(value) + "' is not a whole number");
    }
    if (v < low || v > high) {
        return Usage(name + " " + PrintableText(value) + " is out of range (" + std::to_string(low) +
                     (high == kMaxIntOption ? " or more" : ".." + std::to_string(high)) + ")");
    }
    target = static_cast<int>(v);
    return {};
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
           "  --digit-height H   expected digit height in scaled-frame pixels, 16..99 (29)\n"
           "  --zone X,Y,W,H     recognition zone in scaled-frame pixels (whole frame)\n"
           "  --zoom Z           scale factor for every frame, 0.3..1.0 (1.0)\n"
           "  --depth N          readings kept by the vote, 5..500 (30)\n"
           "  --threshold K      equal readings that confirm a number, 1 or more (5)\n"
           "  --engine E         learned (default): reads the common painted fonts;\n"
           "                     glyph: the window's glyph reader\n"
           "  --no-check-digit   learned engine: also confirm numbers whose check digit\n"
           "                     fails (rolling stock numbered otherwise)\n"
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
           "                     srt://) that breaks off is tried again, with growing\n"
           "                     waits, for up to S seconds, 0..86400 (60)\n"
           "  --jobs N           inputs read at once, 1..256 (one per core)\n"
           "  --passes FILE      write each carriage pass as it ends: .csv gives CSV,\n"
           "                     .jsonl (or .ndjson, .json) JSON Lines\n"
           "  --sign X,Y,W,H     read the speed-limit sign in this box of the scaled first\n"
           "                     frame instead of reading numbers\n"
           "  --help             this text\n"
           "  --version          the program version\n"
           "\n"
           "Exit status: 0 done (also when nothing was read or the video broke off),\n"
           "2 wrong option or value, or a zone or box outside the first frame,\n"
           "3 the file (any of the files) cannot be opened or its first frame cannot be read,\n"
           "or the learned engine's network cannot be loaded.\n";
}

std::string ReaderVersion() { return "kalvero-read (Kalvero) " KALVERO_VERSION_TEXT "\n"; }

ParseOutcome ParseReaderOptions(const std::vector<std::string>& args, ReaderOptions& options) {
    options = ReaderOptions{};
    bool haveFile = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (!haveFile) {
                options.file = arg;
            }
            options.files.push_back(arg);
            haveFile = true;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::string value;
        bool inlineValue = false;
        const std::size_t eq = arg.find('=');
        if (eq != std::string::npos && arg.compare(0, 2, "--") == 0) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            inlineValue = true;
        }

        bool* flag = nullptr;
        if (name == "--json") {
            flag = &options.json;
        } else if (name == "--explain") {
            flag = &options.explain;
        } else if (name == "--verbose") {
            flag = &options.verbose;
        } else if (name == "--help" || name == "-h") {
            flag = &options.help;
        } else if (name == "--version") {
            flag = &options.version;
        } else if (name == "--check-digit-vote") {
            flag = &options.checkDigitVote;
        }
        if (name == "--no-check-digit") {
            if (inlineValue) {
                return Usage("option '" + name + "' takes no value");
            }
            options.checkDigit = false;
            continue;
        }
        if (flag != nullptr) {
            if (inlineValue) {
                return Usage("option '" + name + "' takes no value");
            }
            *flag = true;
            continue;
        }

        static const char* const kValued[] = {"--digit-height", "--zone", "--zoom",  "--depth",
                                              "--threshold",    "--sign", "--engine",
                                              "--passes", "--jobs", "--annotate", "--crops",
                                              "--report", "--reconnect-max"};
        if (std::none_of(std::begin(kValued), std::end(kValued),
                         [&](const char* known) { return name == known; })) {
            return Usage("unknown option '" + PrintableText(name) + "'");
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                return Usage("option '" + name + "' needs a value");
            }
            value = args[++i];
        }

        ParseOutcome outcome;
        if (name == "--digit-height") {
            outcome = WholeInRange(name, value, 16, 99, options.digitHeight);
        } else if (name == "--depth") {
            outcome = WholeInRange(name, value, 5, 500, options.depth);
        } else if (name == "--threshold") {
            outcome = WholeInRange(name, value, 1, kMaxIntOption, options.threshold);
        } else if (name == "--zoom") {
            double z = 0.0;
            if (!ParseReal(value, z)) {
                outcome = Usage(name + ": '" + PrintableText(value) + "' is not a number");
            } else if (z < 0.3 || z > 1.0) {
                outcome = Usage(name + " " + PrintableText(value) + " is out of range (0.3..1.0)");
            } else {
                options.zoom = static_cast<float>(z);
            }
        } else if (name == "--engine") {
            const std::optional<RecognitionEngine> engine = EngineFromName(value);
            if (!engine) {
                outcome = Usage(name + ": '" + PrintableText(value) + "' is not an engine (learned or glyph)");
            } else {
                options.engine = *engine;
            }
        } else if (name == "--reconnect-max") {
            outcome = WholeInRange(name, value, 0, 86400, options.reconnectMax);
        } else if (name == "--jobs") {
            outcome = WholeInRange(name, value, 1, 256, options.jobs);
        } else if (name == "--passes" || name == "--annotate" || name == "--crops" ||
                   name == "--report") {
            if (value.empty()) {
                outcome = Usage(name + " needs a file name");
            } else {
                (name == "--passes"     ? options.passesFile
                 : name == "--annotate" ? options.annotateFile
                 : name == "--crops"    ? options.cropsDir
                                        : options.reportFile) = value;
            }
        } else if (name == "--zone" || name == "--sign") {
            cv::Rect box;
            if (!ParseBox(value, box)) {
                outcome = Usage(name + ": '" + PrintableText(value) +
                                "' is not X,Y,W,H with X, Y of 0 or more and W, H of 1 or more");
            } else if (name == "--zone") {
                options.zone = box;
                options.hasZone = true;
            } else {
                options.sign = box;
                options.hasSign = true;
            }
        }
        if (!outcome.ok()) {
            return outcome;
        }
    }
    if (options.help || options.version) {
        return {};
    }
    if (options.explain && !options.hasSign && options.engine == RecognitionEngine::Learned) {
        return Usage("--explain traces the glyph engine's search; use it with --engine glyph");
    }
    if (!haveFile) {
        return Usage("no FILE given");
    }
    return {};
}

}  // namespace kalvero
