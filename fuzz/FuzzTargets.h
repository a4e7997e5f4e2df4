#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kalvero::fuzz {

// The fuzz harnesses. Each takes one input, runs it through its part of the
// program and stops the process (FuzzFailure) when a result breaks one of
// the part's promises; crashes, hangs and sanitizer reports are caught by
// the fuzzing engine or the sanitizers themselves. The same functions replay
// the committed corpus in the regression tests.

// RecognizeFrame on an image up to 256 x 256, one or three channels, with a
// digit height of 16 to 99, all taken from the input.
void FuzzRecognizeFrame(const std::uint8_t* data, std::size_t size);

// ResultVoteBuffer: creation from any depth and threshold, then a sequence
// of votes with any lengths, texts and capacities, checked against a plain
// model of the vote.
void FuzzResultVoteBuffer(const std::uint8_t* data, std::size_t size);

// kalvero-read's option parsing (the input is the argument list, arguments
// separated by NUL bytes).
void FuzzReaderOptions(const std::uint8_t* data, std::size_t size);

// kalvero-read on a still image: the input's first byte chooses the file
// extension and the options, the rest is the image file.
void FuzzStillImage(const std::uint8_t* data, std::size_t size);

// kalvero_read_frame (the C interface) on pictures of any size, stride and
// pixel format, sound or not, from either engine's reader.
void FuzzReadFrame(const std::uint8_t* data, std::size_t size);

// Largest picture (width x height) the image decoders may produce while the
// still-image harness runs; see EnsureDecoderPixelLimit.
constexpr const char* kPixelLimitVariable = "OPENCV_IO_MAX_IMAGE_PIXELS";
constexpr const char* kPixelLimit = "262144";

// OpenCV reads its decoder pixel limit once, when the library is loaded.
// When the limit is not set in the environment yet, this sets it and starts
// the program again with the same arguments (does not return then); returns
// when it is in place.
void EnsureDecoderPixelLimit(char** argv);

// Names of the harnesses with their functions, for the replay.
struct Harness {
    const char* name;
    void (*run)(const std::uint8_t*, std::size_t);
};
const std::vector<Harness>& AllHarnesses();

}  // namespace kalvero::fuzz
