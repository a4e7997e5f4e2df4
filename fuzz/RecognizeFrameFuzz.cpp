// RecognizeFrame on images made from the fuzz bytes.
//
// Input: width byte, height byte, flags, digit height byte, then the pixels
// (row by row, channels interleaved), repeated when the input runs short.
// Flags: bit 0 three channels (else one); bit 1 readings of any length (else
// only 8-digit numbers); bit 2 the image is a view into a larger picture, as
// the worker's zone is, and the reading must then equal the reading of a
// separate copy made on one thread; bit 3 a large image (sides 1 to 256,
// else 1 to 64: small ones are read far faster, so most of the search goes
// there); bit 4 recognition on two threads (else on one); bit 5 the learned
// engine (else the glyph engine), whose readings are always 8 digits with a
// score in [0, 1].
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "detection/RecognizeFrame.h"
#include "detection/FrameReadings.h"
#include "detection/GlyphZoneReader.h"
#include "fuzz/ByteReader.h"
#include "line_reader/LearnedZoneReader.h"
#include "line_reader/LineReader.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"

namespace kalvero::fuzz {

namespace {

constexpr int kMinDigitHeight = 16;
constexpr int kMaxDigitHeight = 99;
constexpr int kMaxResults = 100;
constexpr int kViewMargin = 3;
constexpr std::uint8_t kMarginValue = 0xA5;
constexpr int kSmallSide = 64;

void FillPixels(cv::Mat& image, const std::uint8_t* pixels, std::size_t count) {
    std::size_t next = 0;
    for (int y = 0; y < image.rows; ++y) {
        std::uint8_t* row = image.ptr<std::uint8_t>(y);
        const std::size_t rowBytes = static_cast<std::size_t>(image.cols) * image.elemSize();
        for (std::size_t i = 0; i < rowBytes; ++i) {
            row[i] = count == 0 ? 0 : pixels[next];
            if (count != 0 && ++next == count) next = 0;
        }
    }
}

// The learned engine's network, loaded once for the whole fuzzing run (it
// takes longer to load than most inputs take to read).
LineReader& SharedLineReader() {
    static const std::unique_ptr<LineReader> reader = [] {
        std::string error;
        std::unique_ptr<LineReader> made = LineReader::Create(error);
        FUZZ_CHECK(made != nullptr);
        return made;
    }();
    return *reader;
}

void CheckResult(const FrameResult& result, const cv::Mat& image, bool requireFullNumber) {
    FUZZ_CHECK(result.count() <= kMaxResults);
    const bool learned = result.engine == RecognitionEngine::Learned;
    for (std::size_t i = 0; i < result.entries.size(); ++i) {
        const FrameResultEntry& entry = result.entries[i];
        const std::size_t length = ::strnlen(entry.name, sizeof entry.name);
        FUZZ_CHECK(length < sizeof entry.name);  // terminated inside the field
        FUZZ_CHECK(length > 0);
        if (requireFullNumber || learned) FUZZ_CHECK(length == 8);
        if (learned) FUZZ_CHECK(entry.score >= 0.0f && entry.score <= 1.0f);
        for (std::size_t c = 0; c < length; ++c) {
            FUZZ_CHECK(entry.name[c] >= '0' && entry.name[c] <= '9');
        }
        FUZZ_CHECK(std::isfinite(entry.score));
        // Best first.
        if (i > 0) FUZZ_CHECK(result.entries[i - 1].score >= entry.score);
        // The box is in zone-image pixels.
        FUZZ_CHECK(entry.width > 0 && entry.height > 0);
        FUZZ_CHECK(entry.x >= 0 && entry.y >= 0);
        FUZZ_CHECK(static_cast<long long>(entry.x) + entry.width <= image.cols &&
                   static_cast<long long>(entry.y) + entry.height <= image.rows);
    }
}

bool SameResult(const FrameResult& a, const FrameResult& b) {
    if (a.count() != b.count()) return false;
    for (std::size_t i = 0; i < a.entries.size(); ++i) {
        const FrameResultEntry& p = a.entries[i];
        const FrameResultEntry& q = b.entries[i];
        if (std::strncmp(p.name, q.name, sizeof p.name) != 0 || p.x != q.x || p.y != q.y ||
            p.width != q.width || p.height != q.height || p.score != q.score) {
            return false;
        }
    }
    return true;
}

}  // namespace

void FuzzRecognizeFrame(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    const std::uint8_t widthByte = in.Byte();
    const std::uint8_t heightByte = in.Byte();
    const std::uint8_t flags = in.Byte();
    const int channels = (flags & 1) != 0 ? 3 : 1;
    const bool anyLength = (flags & 2) != 0;
    const bool asView = (flags & 4) != 0;
    const int sides = (flags & 8) != 0 ? 256 : kSmallSide;
    const int width = 1 + widthByte % sides;
    const int height = 1 + heightByte % sides;
    const int threads = (flags & 16) != 0 ? 2 : 1;
    const int digitHeight = kMinDigitHeight + in.Byte() % (kMaxDigitHeight - kMinDigitHeight + 1);

    cv::Mat picture;
    cv::Mat image;
    if (asView) {
        picture = cv::Mat(height + 2 * kViewMargin, width + 2 * kViewMargin, CV_8UC(channels),
                          cv::Scalar::all(kMarginValue));
        image = picture(cv::Rect(kViewMargin, kViewMargin, width, height));
    } else {
        image = cv::Mat(height, width, CV_8UC(channels));
    }
    FillPixels(image, in.Rest(), in.Remaining());
    const cv::Mat before = image.clone();

    RecognitionSettings settings;
    settings.digitHeight = digitHeight;
    settings.requireFullNumber = !anyLength;
    settings.threadCount = threads;
    const bool learnedEngine = (flags & 32) != 0;
    // The learned engine with no height at all: every height is looked for.
    if (learnedEngine && (flags & 64) != 0) settings.digitHeight = 0;
    const FrameResult result =
        learnedEngine ? FrameResultOf(LearnedZoneReader(SharedLineReader(), LineReaderSettings{})
                                          .Read(image, settings.digitHeight),
                                      RecognitionEngine::Learned)
                      : RecognizeFrame(image, settings);
    CheckResult(result, image, settings.requireFullNumber);
    // Recognition only reads the zone.
    FUZZ_CHECK(cv::norm(before, image, cv::NORM_INF) == 0.0);

    // The readings every consumer sees are the record's, with a score for
    // each digit from the learned engine.
    std::vector<Reading> readings;
    if (learnedEngine) {
        LearnedZoneReader reader(SharedLineReader(), LineReaderSettings{});
        readings = reader.Read(image, settings.digitHeight);
    } else if (!anyLength) {
        GlyphZoneReader reader;
        readings = reader.Read(image, settings.digitHeight);
    } else {
        readings = ReadingsOf(RecognizeFrame(image, settings));
    }
    FUZZ_CHECK(SameResult(FrameResultOf(readings, result.engine), result));
    for (const Reading& reading : readings) {
        FUZZ_CHECK(reading.engine == result.engine);
        const bool learned = result.engine == RecognitionEngine::Learned;
        FUZZ_CHECK(reading.digitScores.size() == (learned ? reading.text.size() : 0u));
    }

    if (asView) {
        // Nothing outside the view may count, and the threads share the work
        // without changing it: the same pixels on their own, read on one
        // thread, give the same reading.
        RecognitionSettings single = settings;
        single.threadCount = 1;
        const FrameResult alone =
            learnedEngine ? FrameResultOf(LearnedZoneReader(SharedLineReader(), LineReaderSettings{})
                                              .Read(image.clone(), single.digitHeight),
                                          RecognitionEngine::Learned)
                          : RecognizeFrame(image.clone(), single);
        FUZZ_CHECK(SameResult(result, alone));
    }
}

}  // namespace kalvero::fuzz
