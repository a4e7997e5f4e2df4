#pragma once
#include <cstddef>

namespace kalvero {

// The bytes of line_reader/model/line_reader.onnx as they were when the
// library was built (an ONNX model, see LineReader.h for what it computes).
// The size is 0 when the build found no model file; the data pointer is
// then still valid but holds nothing to read.
const unsigned char* EmbeddedLineModelData();
std::size_t EmbeddedLineModelSize();

}  // namespace kalvero
