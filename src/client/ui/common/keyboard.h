#pragma once

// Keyboard habits the windows share.

#include <QKeySequence>
#include <QString>

class QTreeWidget;
class QWidget;

namespace vantrell::client {

// Enter on a focused push or tool button of `window` presses it. Buttons outside a dialog
// ignore Enter by themselves, so without this a button reached with Tab could only be
// pressed with Space. Covers the buttons the window holds when called; calling again
// adds the ones made since.
void pressButtonsOnEnter(QWidget *window);

// Enter on the list's current row does what a double click on it does (opens, edits or
// views it). Greyed rows, waiting for a new query's reply, are not opened.
void enterOpensRows(QTreeWidget *list);

// "搜索 (Ctrl+F)": a tool tip naming the keys that do the same.
QString withKeys(const QString &tip, const QKeySequence &keys);

} // namespace vantrell::client
