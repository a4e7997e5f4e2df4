#pragma once
#include <string>

#include "cli/CarriagePass.h"

namespace kalvero {

// The --crops files: a PNG of each pass's best frame, cut around its number.

// "cam2-1f3a9c07_52473063_f0022.png": the input's file name without its
// extension, its InputId (same-named files in two folders never share a
// crop name), the number and the best frame.
std::string CropFileName(const CarriagePass& pass);

// Writes the pass's crop into the folder `dir` (which must exist). False
// with `error` set ("cannot write the crop 'P': reason") when it cannot be
// written or the pass has no picture.
bool WriteCrop(const std::string& dir, const CarriagePass& pass, std::string& error);

// Makes sure `dir` is a folder crops can be written into, creating it when
// missing. False with `error` set.
bool PrepareCropFolder(const std::string& dir, std::string& error);

}  // namespace kalvero
