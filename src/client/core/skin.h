#pragma once

// The built-in skin: a style sheet carried as a resource and attached to the whole
// application. Hue (degrees), saturation and brightness (percent) shift every colour of
// the sheet; all 0 keeps the designed palette. The aero flag asks for translucent frames.

#include <QString>

namespace vantrell::client {

// False when the skin is missing or empty: the windows keep the plain look.
bool attachSkin(int aero, int hue, int saturation, int brightness);

// The sheet with every #rrggbb colour shifted (exposed for tests).
QString shiftSheetColours(const QString &sheet, int hue, int saturation, int brightness);

} // namespace vantrell::client
