#pragma once

namespace kalvero {

// The page's stylesheet (/style.css) and its script (/app.js), served from
// the program itself: no outside resource, no inline script or style.
const char* WebStyleSheet();
const char* WebScript();

}  // namespace kalvero
