#pragma once
#include <string>

namespace kalvero {

// `text` as it may be shown inside a one-line message: control characters
// (a newline in a file name, a terminal escape in an argument) become
// visible escapes ("\n", "\t", "\r", "\x1b"), everything else stays as it is.
std::string PrintableText(const std::string& text);

}  // namespace kalvero
