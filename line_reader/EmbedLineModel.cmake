# Writes a C++ source holding the bytes of a file, so that the line model
# is compiled into the recognition library and nothing has to be found at
# run time. Run as a script:
#   cmake -DINPUT=<model file> -DOUTPUT=<.cpp to write> -P EmbedLineModel.cmake
# A missing INPUT gives an empty model, which the reader refuses with a
# message naming the file, so the library still builds before the model
# has been trained.
if(NOT DEFINED OUTPUT)
  message(FATAL_ERROR "EmbedLineModel.cmake: OUTPUT is not set")
endif()

set(bytes "")
set(size 0)
if(DEFINED INPUT AND EXISTS "${INPUT}")
  file(SIZE "${INPUT}" size)
  file(READ "${INPUT}" hex HEX)
  # Two hex digits per byte; sixty-four bytes a line keeps the source
  # readable by editors and light on the compiler.
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){64})" "\\1\n" bytes "${bytes}")
endif()

# An array cannot be empty in C++: a zero byte stands in, with size 0.
if(size EQUAL 0)
  set(bytes "0x00,")
endif()

file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT} by line_reader/EmbedLineModel.cmake; do not edit.
#include \"line_reader/EmbeddedLineModel.h\"

namespace kalvero {

namespace {
const unsigned char kModelBytes[] = {
${bytes}
};
}  // namespace

const unsigned char* EmbeddedLineModelData() { return kModelBytes; }
std::size_t EmbeddedLineModelSize() { return ${size}; }

}  // namespace kalvero
")
# Only a changed source is rewritten, so an unchanged model does not
# recompile the library.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
