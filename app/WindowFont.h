#pragma once
#include <QFont>

namespace kalvero {

// The one font of the main window's form. The form's rectangles were laid
// out for Tahoma at 11 pixels (the classic dialog font, 8 pt at 96 dpi); on
// Debian that face comes from fonts-wine, whose Tahoma has Tahoma's advance
// widths and covers Cyrillic. It is registered with Qt from the package's
// folder (fontconfig does not index it). When it is missing the form falls
// back to Liberation Sans (Arial's metrics) at the same pixel size, which is
// wider: some labels then no longer fit.
//
// The size is in pixels so that the texts fit the pixel rectangles whatever
// the screen's dots per inch. Needs a QGuiApplication.
QFont WindowFont();

}  // namespace kalvero
