#pragma once

// The line pictures of the title bars and navigation, drawn in code so that they stay
// sharp at any scale: each is drawn at every device-pixel side its sizes take at the
// screen scales from 100% to 300%.

#include <QColor>
#include <QIcon>

namespace vantrell::client {

enum class Glyph
{
    User,
    Minimise,
    Maximise,
    Restore,
    Close,
    Orders,
    Goods,
    Partners,
    Finance,
    Exit
};

QIcon glyphIcon(Glyph glyph, const QColor &colour, const QColor &activeColour = {});

} // namespace vantrell::client
