#include "command_line/LowerCase.h"

#include <algorithm>

namespace kalvero {

std::string LowerCase(std::string text) {
    // Not std::tolower: the locale must not decide what an extension is.
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

}  // namespace kalvero
