// kalvero_read_frame, the C interface's entry, on pictures whose size,
// stride and pixel format come from the fuzz bytes.
//
// Input: flags byte, format byte, width and height (16-bit, signed), stride
// slack (8-bit, signed: bytes more or fewer than a row), timestamp byte,
// then the pixels, repeated when the input runs short. Flags: bit 0 the
// glyph engine (else the learned one); bit 1 a zone of the picture's left
// half from the next four bytes; bit 2 NULL data; bit 3 a stride so large
// that the picture's last row lies past 2 GiB, which must be refused.
//
// The picture's buffer holds exactly the bytes its rows span, so that a
// read past them is caught by AddressSanitizer. The call must succeed
// exactly when the picture is sound (a known format, data, sides of 1 or
// more, a stride of a row or more), and a zone that does not fit must be
// refused; a refusal gives no result and a message.
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/ByteReader.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "kalvero/kalvero.h"

namespace kalvero::fuzz {

namespace {

// Sides up to this many pixels (and a little below 1): the engines read
// small pictures fast, so the search covers the checks, not the reading.
constexpr int kMaxSide = 160;
constexpr int kMaxReadings = 100;

// One reader an engine, kept for the whole run: loading the network takes
// longer than reading most inputs.
kalvero_reader* SharedReader(bool glyph, bool zoned, const kalvero_box& zone) {
    static kalvero_reader* readers[2] = {nullptr, nullptr};
    kalvero_reader*& reader = readers[glyph ? 1 : 0];
    if (reader == nullptr) {
        kalvero_options* options = kalvero_options_new();
        FUZZ_CHECK(options != nullptr);
        FUZZ_CHECK(kalvero_options_set_engine(options, glyph ? "glyph" : "learned") == KALVERO_OK);
        reader = kalvero_reader_new(options);
        kalvero_options_free(options);
        FUZZ_CHECK(reader != nullptr);
    }
    if (!zoned) return reader;
    // A zone is a reader setting: a reader of its own for this input.
    kalvero_options* options = kalvero_options_new();
    FUZZ_CHECK(kalvero_options_set_engine(options, glyph ? "glyph" : "learned") == KALVERO_OK);
    FUZZ_CHECK(kalvero_options_set_zone(options, zone.x, zone.y, zone.width, zone.height) == KALVERO_OK);
    kalvero_reader* zonedReader = kalvero_reader_new(options);
    kalvero_options_free(options);
    FUZZ_CHECK(zonedReader != nullptr);
    return zonedReader;
}

int ChannelsOf(int format) {
    switch (format) {
        case KALVERO_BGR8:
        case KALVERO_RGB8:
            return 3;
        case KALVERO_GRAY8:
            return 1;
        default:
            return 0;  // unknown
    }
}

void CheckFrame(const kalvero_frame* frame) {
    const int count = kalvero_frame_reading_count(frame);
    FUZZ_CHECK(count >= 0 && count <= kMaxReadings);
    for (int i = 0; i < count; ++i) {
        const std::string text = kalvero_frame_reading_text(frame, i);
        FUZZ_CHECK(!text.empty());
        for (char c : text) FUZZ_CHECK(c >= '0' && c <= '9');
        FUZZ_CHECK(std::isfinite(kalvero_frame_reading_score(frame, i)));
        const float* scores = nullptr;
        const int digits = kalvero_frame_reading_digit_scores(frame, i, &scores);
        FUZZ_CHECK(digits == 0 || digits == static_cast<int>(text.size()));
        for (int d = 0; d < digits; ++d) FUZZ_CHECK(scores[d] >= 0.0f && scores[d] <= 1.0f);
    }
    const char* confirmed = kalvero_frame_confirmed(frame);
    FUZZ_CHECK(confirmed == nullptr || std::strlen(confirmed) > 0);
}

}  // namespace

void FuzzReadFrame(const std::uint8_t* data, std::size_t size) {
    ByteReader input(data, size);
    const std::uint8_t flags = input.Byte();
    const int formats[] = {0, KALVERO_BGR8, KALVERO_RGB8, KALVERO_GRAY8, 77};
    const int format = formats[input.Byte() % 5];
    // Sides from -3 to kMaxSide.
    const int width = static_cast<int>(input.Word() % (kMaxSide + 4)) - 3;
    const int height = static_cast<int>(input.Word() % (kMaxSide + 4)) - 3;
    const int slack = static_cast<std::int8_t>(input.Byte());
    const double timestamp = input.Byte() / 25.0;
    const bool glyph = (flags & 1) != 0;
    const bool zoned = (flags & 2) != 0;
    const bool nullData = (flags & 4) != 0;
    const bool farStride = (flags & 8) != 0;
    kalvero_box zone{input.Byte() % 64, input.Byte() % 64, 1 + input.Byte() % 64, 1 + input.Byte() % 64};

    const int channels = ChannelsOf(format);
    const long long row = static_cast<long long>(width) * (channels == 0 ? 3 : channels);
    const int stride = farStride ? (1 << 30) : static_cast<int>(row + slack);
    const bool sound = channels != 0 && !nullData && width >= 1 && height >= 1 && stride >= row &&
                       (!farStride || height < 3);
    // farStride with fewer than 3 rows still spans less than 2 GiB; such a
    // picture is sound but its buffer would be too: give it a plain stride.
    const int usedStride = farStride && height < 3 ? static_cast<int>(row) : stride;
    const bool fits = !zoned || (zone.x + zone.width <= width && zone.y + zone.height <= height);

    // Exactly the bytes the rows span when the picture is sound; a token
    // buffer otherwise (the library must not touch it).
    std::size_t span = 1;
    if (sound) span = static_cast<std::size_t>(usedStride) * static_cast<std::size_t>(height - 1) + static_cast<std::size_t>(row);
    std::vector<std::uint8_t> pixels(span);
    for (std::size_t i = 0; i < span; ++i) {
        pixels[i] = input.Remaining() > 0 ? input.Byte() : static_cast<std::uint8_t>(i * 37);
    }
    const kalvero_image image{nullData ? nullptr : pixels.data(), width, height, usedStride,
                              static_cast<kalvero_pixel_format>(format)};

    kalvero_reader* reader = SharedReader(glyph, zoned, zone);
    kalvero_frame* frame = reinterpret_cast<kalvero_frame*>(&pixels);  // must be overwritten
    const int status = kalvero_read_frame(reader, &image, timestamp, &frame);
    if (sound && fits) {
        FUZZ_CHECK(status == KALVERO_OK);
        FUZZ_CHECK(frame != nullptr);
        FUZZ_CHECK(std::strlen(kalvero_last_error()) == 0);
        CheckFrame(frame);
        kalvero_frame_free(frame);
    } else {
        FUZZ_CHECK(status == (sound ? KALVERO_E_ZONE : KALVERO_E_IMAGE));
        FUZZ_CHECK(frame == nullptr);
        FUZZ_CHECK(std::strlen(kalvero_last_error()) > 0);
    }
    if (zoned) kalvero_reader_free(reader);
}

}  // namespace kalvero::fuzz
