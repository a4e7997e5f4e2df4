#pragma once
#include <string>

#include "cli/CarriagePass.h"

namespace kalvero {

// The --crops files: a PNG of each pass's best frame, cut around its number.

// "52473063_f0022.png"; with `withInput` the input's file name without its
// extension comes first ("cam2_52473063_f0022.png"), for runs over several
// inputs.
std::string CropFileName(const CarriagePass& pass, bool withInput);

// Writes the pass's crop into the folder `dir` (which must exist). False
// with `error` set ("cannot write the crop 'P': reason") when it cannot be
// written or the pass has no picture.
bool WriteCrop(const std::string& dir, const CarriagePass& pass, bool withInput, std::string& error);

// Makes sure `dir` is a folder crops can be written into, creating it when
// missing. False with `error` set.
bool PrepareCropFolder(const std::string& dir, std::string& error);

}  // namespace kalvero
