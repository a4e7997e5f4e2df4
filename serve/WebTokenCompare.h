#pragma once
#include <string>

namespace kalvero {

// True when `given` is the configured `token`, compared in a time that does
// not depend on where they differ nor on their lengths (both are hashed
// first). An empty `token` matches nothing.
bool TokensEqual(const std::string& given, const std::string& token);

}  // namespace kalvero
