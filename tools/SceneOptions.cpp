#include "tools/SceneOptions.h"

namespace kalvero {

bool SceneOptions::IsDefault() const {
    return font == "glyph" && !varied && motion == SceneMotion::Pass && negative == SceneNegative::None &&
           number2.empty() && jpegQuality == 0;
}

}  // namespace kalvero
