#pragma once
#include <optional>
#include <string>

namespace kalvero {

// Which engine reads a frame.
//  Glyph:   the built-in glyph matcher with its digit shape classifiers; reads
//           its own glyph font well and is the window's default.
//  Learned: candidate rows of digit-like blobs read by a small convolutional
//           network (line_reader/); reads the common painted fonts.
enum class RecognitionEngine { Glyph = 0, Learned = 1 };

// "glyph" or "learned", as on the reader's command line and in its JSON.
const char* EngineName(RecognitionEngine engine);

// The engine named `name` ("glyph" or "learned"), or nothing.
std::optional<RecognitionEngine> EngineFromName(const std::string& name);

}  // namespace kalvero
