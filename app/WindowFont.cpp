#include "app/WindowFont.h"

#include <QFile>
#include <QFontDatabase>
#include <QString>
#include <QStringList>

namespace kalvero {

namespace {

// The family the form was drawn for.
const QString kFormFamily = QStringLiteral("Tahoma");
// Where Debian's fonts-wine puts its metric-compatible Tahoma.
const QString kWineTahoma = QStringLiteral("/usr/share/wine/fonts/tahoma.ttf");
// 8 pt at 96 dpi, rounded as the form's platform rounds it.
constexpr int kFormPixelSize = 11;

bool HaveFamily(const QString& family) {
    return QFontDatabase().families().contains(family, Qt::CaseInsensitive);
}

}  // namespace

QFont WindowFont() {
    // Registering twice would only add a duplicate entry; the check keeps
    // this cheap and idempotent for every window that is built.
    if (!HaveFamily(kFormFamily) && QFile::exists(kWineTahoma)) QFontDatabase::addApplicationFont(kWineTahoma);
    QFont font(HaveFamily(kFormFamily) ? kFormFamily : QStringLiteral("Liberation Sans"));
    font.setPixelSize(kFormPixelSize);
    font.setStyleStrategy(QFont::PreferAntialias);
    // Tahoma's advances hold only unhinted: hinting on an X server rounds
    // every glyph's advance up to whole pixels, which made a frame line some
    // pixels wider than the console. Vertical hinting keeps the text crisp
    // and leaves the advances alone, on every platform plugin alike.
    font.setHintingPreference(QFont::PreferVerticalHinting);
    return font;
}

}  // namespace kalvero
