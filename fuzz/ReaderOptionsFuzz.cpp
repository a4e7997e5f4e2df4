// kalvero-read's option parsing on any argument list.
//
// Input: the arguments, separated by NUL bytes (at most 64 of them).
#include <sstream>
#include <string>
#include <vector>

#include "cli/Reader.h"
#include "cli/ReaderOptions.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "line_reader/DigitHeightRange.h"

namespace kalvero::fuzz {

namespace {

constexpr std::size_t kMaxArguments = 64;

std::vector<std::string> SplitArguments(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args;
    if (size == 0) return args;
    std::string current;
    for (std::size_t i = 0; i < size && args.size() < kMaxArguments; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (args.size() < kMaxArguments) args.push_back(current);
    return args;
}

bool OneLine(const std::string& text) { return !text.empty() && text.find('\n') == std::string::npos; }

}  // namespace

void FuzzReaderOptions(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> args = SplitArguments(data, size);
    ReaderOptions options;
    const ParseOutcome outcome = ParseReaderOptions(args, options);

    if (!outcome.ok()) {
        FUZZ_CHECK(outcome.status == kExitUsage);
        FUZZ_CHECK(OneLine(outcome.message));
        // The reader answers a refused command line without touching a file:
        // the message, the hint and status 2.
        std::ostringstream out;
        std::ostringstream err;
        FUZZ_CHECK(RunReader(args, out, err, ReaderEnvironment{}) == kExitUsage);
        FUZZ_CHECK(out.str().empty());
        FUZZ_CHECK(err.str() == "kalvero-read: " + outcome.message + "\nTry 'kalvero-read --help'.\n");
        return;
    }
    FUZZ_CHECK(outcome.message.empty());
    if (options.help || options.version) {
        std::ostringstream out;
        std::ostringstream err;
        FUZZ_CHECK(RunReader(args, out, err, ReaderEnvironment{}) == kExitOk);
        FUZZ_CHECK(out.str() == (options.help ? ReaderUsage() : ReaderVersion()));
        FUZZ_CHECK(err.str().empty());
        return;
    }
    // Sound options are within the documented ranges.
    // The glyph engine's and the sign reader's digit height is always set;
    // the learned engine's is a hint, 0 when not given.
    if (options.engine == RecognitionEngine::Glyph || options.hasSign) {
        FUZZ_CHECK(options.digitHeight >= kMinGlyphDigitHeight && options.digitHeight <= kMaxGlyphDigitHeight);
    } else {
        FUZZ_CHECK(options.hasDigitHeight ? options.digitHeight >= kMinSearchedDigitHeight &&
                                                options.digitHeight <= kMaxSearchedDigitHeight
                                          : options.digitHeight == 0);
    }
    FUZZ_CHECK(options.zoom >= 0.3f && options.zoom <= 1.0f);
    FUZZ_CHECK(options.depth >= 5 && options.depth <= 500);
    // A vote of `depth` readings can hold at most `depth` equal ones.
    FUZZ_CHECK(options.threshold >= 1 && options.threshold <= options.depth);
    if (options.hasZone) {
        FUZZ_CHECK(options.zone.x >= 0 && options.zone.y >= 0);
        FUZZ_CHECK(options.zone.width >= 1 && options.zone.height >= 1);
    }
    if (options.hasSign) {
        FUZZ_CHECK(options.sign.x >= 0 && options.sign.y >= 0);
        FUZZ_CHECK(options.sign.width >= 1 && options.sign.height >= 1);
    }
    // Parsing is repeatable: the same arguments give the same settings.
    ReaderOptions again;
    FUZZ_CHECK(ParseReaderOptions(args, again).ok());
    FUZZ_CHECK(again.file == options.file && again.digitHeight == options.digitHeight &&
               again.zoom == options.zoom && again.depth == options.depth &&
               again.threshold == options.threshold && again.zone == options.zone &&
               again.sign == options.sign && again.json == options.json &&
               again.explain == options.explain && again.verbose == options.verbose);
}

}  // namespace kalvero::fuzz
