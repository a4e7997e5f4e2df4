#pragma once
#include <cstddef>
#include <string>

#include "line_reader/LineReader.h"

namespace kalvero {

// The calling thread's reader of the default model (LineReader::Create: the
// embedded model, or the file KALVERO_LINE_MODEL names). The model is loaded
// on the thread's first call and kept for the thread's life: every later
// call on the thread gives the same reader without loading anything, however
// many runs or inputs the thread reads. When the thread ends its reader is
// kept for the next thread that asks, so threads that follow one another
// (the window's run threads) share one load; threads that read at once have
// one each. Only when KALVERO_LINE_MODEL names another model than the one
// held is a model loaded again. Null when the model cannot be loaded, with
// `error` set as LineReader::Create sets it; a failure is not kept, so the
// next call tries again.
//
// The reader belongs to the calling thread while it lives: never hand it to
// another one.
LineReader* ThreadLineReader(std::string& error);

// How many times ThreadLineReader has loaded a model, over every thread of
// the process (failed attempts included; readers taken over from ended
// threads are not loads).
std::size_t ThreadLineReaderLoads();

}  // namespace kalvero
