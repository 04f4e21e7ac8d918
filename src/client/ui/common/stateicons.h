#pragma once

// Small round marks drawn in code for the state columns of the lists. A column given marks
// draws each beside its text, and the list's columns are stretched again so that it has
// room for them.

#include <QColor>
#include <QIcon>
#include <QStringList>

class QTreeWidget;

namespace vantrell::client {

QIcon dotIcon(const QColor &colour);

// Gives the cell in `column` of every row the icon whose index is the position of
// the cell's text in `texts`; other texts get no icon.
void setStateIcons(QTreeWidget *list, int column, const QStringList &texts, const QList<QIcon> &icons);
// The same icon in `column` of every row.
void setColumnIcon(QTreeWidget *list, int column, const QIcon &icon);

} // namespace vantrell::client
