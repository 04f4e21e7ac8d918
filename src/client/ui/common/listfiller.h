#pragma once

// Server-defined report lists: the reply decides the columns, their captions, widths
// and alignment, the rows and the page companions.

#include <QString>
#include <string_view>

class QLabel;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace vantrell::client {

// Replaces columns and rows of `list` with those of a list reply (full GBK field text).
// The label reads "共 N 页" and the page box gets the current page, caret at its end.
void fillList(QTreeWidget *list, std::string_view gbkText, QLabel *pageLabel = nullptr,
              QLineEdit *pageBox = nullptr);

// Sets columns from a design description before any reply arrived: caption and
// width pairs; width 0 hides the column.
struct DesignColumn
{
    QString caption;
    int width = 0;
    int alignment = 1;
};
void setDesignColumns(QTreeWidget *list, std::initializer_list<DesignColumn> columns);

// Widens (or narrows) every visible column by an equal share so that the columns fill
// the list's width less `margin`. Hidden columns stay at width 0.
void stretchColumns(QTreeWidget *list, int margin = 26);
// Stretches again from the widths the last fill gave, e.g. after the list was resized.
void restretchColumns(QTreeWidget *list, int margin = 26);
// A list whose widths the user set, or a remembered layout gave: both stretches leave
// its columns as they are until `keep` is false again.
void keepColumnWidths(QTreeWidget *list, bool keep);
bool keepsColumnWidths(const QTreeWidget *list);

// Text of `row`'s cell in the first column captioned `title`; empty when none is.
QString cellByTitle(const QTreeWidget *list, const QString &title, const QTreeWidgetItem *row);
// Text of column `column` of the current (selected) row; empty without a selection.
QString selectedCell(const QTreeWidget *list, int column);

// A report-style list: no tree decoration, whole-row selection, one selected row; a cell
// whose text does not fit shows it whole in a plain-text tool tip.
void makeReportList(QTreeWidget *list);

} // namespace vantrell::client
