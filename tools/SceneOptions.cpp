#include "tools/SceneOptions.h"

#include <algorithm>

namespace kalvero {

bool SceneOptions::Has(SceneCondition condition) const {
    return std::find(conditions.begin(), conditions.end(), condition) != conditions.end();
}

bool SceneOptions::IsDefault() const {
    return font == "glyph" && !varied && motion == SceneMotion::Pass && negative == SceneNegative::None &&
           number2.empty() && jpegQuality == 0 && conditions.empty();
}

}  // namespace kalvero
