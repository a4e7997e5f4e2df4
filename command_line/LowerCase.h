#pragma once
#include <string>

namespace kalvero {

// `text` with its ASCII letters in lower case (other bytes unchanged): how
// file-name extensions and option words are compared whatever their case.
std::string LowerCase(std::string text);

}  // namespace kalvero
