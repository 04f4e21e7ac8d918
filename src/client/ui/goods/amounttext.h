#pragma once

// Typed amounts of the goods and freight boxes: a decimal number, perhaps followed by
// its unit ("元", "千克"), read digit by digit into an integer (fen, grams) so that what
// is shown and sent is exactly what was typed.

#include <QString>
#include <optional>

namespace vantrell::client {

struct TypedAmount
{
    bool valid = false;    // a plain decimal number, perhaps with a leading "-"
    bool negative = false; // a valid number below zero
    long long scaled = 0;  // |value| in units of 10^-decimals, rounded half up
};

// The text without `suffix` at its end and without surrounding spaces.
QString withoutSuffix(const QString &text, const QString &suffix);

// Reads `text` (suffix allowed). With `exact`, more than `decimals` fraction digits make
// it invalid; otherwise they are rounded. An empty text reads as 0.
TypedAmount readAmount(const QString &text, const QString &suffix, int decimals, bool exact);

// The box text after leaving it: the rounded number with its suffix, "0" + suffix for a
// negative number; a text that is no number stays as typed so that saving refuses it.
QString normalisedAmount(const QString &text, const QString &suffix, int decimals);

// The value `steps` units away (floor 0 is applied by the normalisation), for the spin
// buttons; a text that is no number counts as 0 here, as the user asked for a value.
QString steppedAmount(const QString &text, const QString &suffix, int decimals, long long step);

} // namespace vantrell::client
