// The options of a reader and their setters: each refuses a value out of its
// range with a status and a message, leaving the options as they were.
#include "Options.h"

#include <new>

#include "Errors.h"
#include "cli/ReaderOptions.h"
#include "worker/ResultVoteBuffer.h"

namespace kalvero::sdk {

namespace {

constexpr int kMaxLearnedDigitHeight = 250;
constexpr int kMinLearnedDigitHeight = 10;

int NullOptions(const char* function) {
    return Fail(KALVERO_E_INVALID_ARGUMENT, std::string(function) + ": options is NULL");
}

}  // namespace

int CheckOptions(const kalvero_options& options) {
    const int height = options.digitHeight;
    if (height == 0) return KALVERO_OK;
    if (options.engine == RecognitionEngine::Glyph &&
        (height < kMinGlyphDigitHeight || height > kMaxGlyphDigitHeight)) {
        return Fail(KALVERO_E_INVALID_ARGUMENT, "digit height " + std::to_string(height) +
                                                    " is out of range for the glyph engine (" +
                                                    std::to_string(kMinGlyphDigitHeight) + ".." +
                                                    std::to_string(kMaxGlyphDigitHeight) + ")");
    }
    if (height < kMinLearnedDigitHeight) {
        return Fail(KALVERO_E_INVALID_ARGUMENT, "digit height " + std::to_string(height) +
                                                    " is out of range for the learned engine (" +
                                                    std::to_string(kMinLearnedDigitHeight) + ".." +
                                                    std::to_string(kMaxLearnedDigitHeight) + ")");
    }
    return KALVERO_OK;
}

int EngineDigitHeight(const kalvero_options& options) {
    if (options.digitHeight == 0 && options.engine == RecognitionEngine::Glyph) return kDefaultGlyphDigitHeight;
    return options.digitHeight;
}

}  // namespace kalvero::sdk

using kalvero::sdk::Fail;
using kalvero::sdk::NullOptions;

extern "C" {

kalvero_options* kalvero_options_new(void) {
    kalvero::sdk::ClearError();
    kalvero_options* options = new (std::nothrow) kalvero_options();
    if (options == nullptr) Fail(KALVERO_E_INTERNAL, "out of memory");
    return options;
}

void kalvero_options_free(kalvero_options* options) { delete options; }

int kalvero_options_set_engine(kalvero_options* options, const char* engine) {
    if (options == nullptr) return NullOptions("kalvero_options_set_engine");
    if (engine == nullptr) return Fail(KALVERO_E_INVALID_ARGUMENT, "kalvero_options_set_engine: engine is NULL");
    const auto chosen = kalvero::EngineFromName(engine);
    if (!chosen) {
        return Fail(KALVERO_E_INVALID_ARGUMENT,
                    std::string("unknown engine '") + engine + "' (use \"learned\" or \"glyph\")");
    }
    options->engine = *chosen;
    kalvero::sdk::ClearError();
    return KALVERO_OK;
}

int kalvero_options_set_zone(kalvero_options* options, int x, int y, int width, int height) {
    if (options == nullptr) return NullOptions("kalvero_options_set_zone");
    if (x < 0 || y < 0 || width < 1 || height < 1) {
        return Fail(KALVERO_E_INVALID_ARGUMENT, "zone " + std::to_string(x) + "," + std::to_string(y) + "," +
                                                    std::to_string(width) + "," + std::to_string(height) +
                                                    ": x and y must be 0 or more, width and height 1 or more");
    }
    options->zone = cv::Rect(x, y, width, height);
    options->hasZone = true;
    kalvero::sdk::ClearError();
    return KALVERO_OK;
}

int kalvero_options_clear_zone(kalvero_options* options) {
    if (options == nullptr) return NullOptions("kalvero_options_clear_zone");
    options->hasZone = false;
    options->zone = cv::Rect();
    kalvero::sdk::ClearError();
    return KALVERO_OK;
}

int kalvero_options_set_digit_height(kalvero_options* options, int pixels) {
    if (options == nullptr) return NullOptions("kalvero_options_set_digit_height");
    if (pixels < 0 || pixels > kalvero::sdk::kMaxLearnedDigitHeight) {
        return Fail(KALVERO_E_INVALID_ARGUMENT,
                    "digit height " + std::to_string(pixels) + " is out of range (0..250, 0 for none)");
    }
    options->digitHeight = pixels;
    kalvero::sdk::ClearError();
    return KALVERO_OK;
}

int kalvero_options_set_vote(kalvero_options* options, int depth, int threshold) {
    if (options == nullptr) return NullOptions("kalvero_options_set_vote");
    using kalvero::ResultVoteBuffer;
    if (depth < ResultVoteBuffer::kMinDepth || depth > ResultVoteBuffer::kMaxDepth) {
        return Fail(KALVERO_E_INVALID_ARGUMENT, "vote depth " + std::to_string(depth) + " is out of range (5..500)");
    }
    if (threshold < 1 || threshold > depth) {
        return Fail(KALVERO_E_INVALID_ARGUMENT, "vote threshold " + std::to_string(threshold) +
                                                    " is out of range (1.." + std::to_string(depth) + ")");
    }
    options->depth = depth;
    options->threshold = threshold;
    kalvero::sdk::ClearError();
    return KALVERO_OK;
}

int kalvero_options_set_confirm_frames(kalvero_options* options, int frames) {
    if (options == nullptr) return NullOptions("kalvero_options_set_confirm_frames");
    if (frames < 0 || frames > kalvero::ResultVoteBuffer::kMaxDepth) {
        return Fail(KALVERO_E_INVALID_ARGUMENT,
                    "confirm frames " + std::to_string(frames) + " is out of range (0..500)");
    }
    options->confirmFrames = frames;
    kalvero::sdk::ClearError();
    return KALVERO_OK;
}

int kalvero_options_set_check_digit(kalvero_options* options, int on) {
    if (options == nullptr) return NullOptions("kalvero_options_set_check_digit");
    options->checkDigit = on != 0;
    kalvero::sdk::ClearError();
    return KALVERO_OK;
}

}  // extern "C"
