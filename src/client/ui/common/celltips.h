#pragma once

// Tool tips for cells cut short: a cell whose text does not fit its column shows the whole
// text when the pointer rests on it. Cells hold other merchants' texts, so the tip is
// always plain text, whatever the text looks like.

#include <QString>

class QAbstractItemView;

namespace vantrell::client {

// Gives the view a delegate that shows cut cells' texts (a cell's own tool tip, when it
// has one, is shown instead).
void showCutTextInToolTips(QAbstractItemView *view);

// A tool tip text that QToolTip shows exactly as `text` reads: markup in it is escaped and
// its spaces and line breaks kept, on lines of their own length.
QString plainToolTip(const QString &text);

} // namespace vantrell::client
