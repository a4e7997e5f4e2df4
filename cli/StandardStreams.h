#pragma once

namespace kalvero {

// Gives a closed standard descriptor (0, 1 or 2) /dev/null, so that the
// next file the program opens cannot land on it and receive text meant for
// the terminal. Returns true when `fd` was closed. Call it first thing in
// main, before anything opens a file.
bool ReopenIfClosed(int fd);

}  // namespace kalvero
