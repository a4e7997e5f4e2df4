#pragma once
#include <filesystem>
#include <string>

namespace kalvero {

// A training font the bootstrap installs (fonts-dejavu-core).
inline const std::string kTestFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

inline bool TestFontInstalled() { return std::filesystem::exists(kTestFontPath); }

}  // namespace kalvero
