#pragma once
#include <string>

namespace kalvero {

// A short id of an input that stays the same across runs and machines: 8
// lower-case hex digits of the 32-bit FNV-1a hash of the file's absolute,
// normalised path (a stream's address as given). Two files of the same name
// in different folders get different ids.
std::string InputId(const std::string& input);

// The 32-bit FNV-1a hash of `text`'s bytes.
unsigned FnvHash(const std::string& text);

}  // namespace kalvero
