#pragma once

// Rows that no longer answer what the screen asks for: once a new query of a list has
// gone out (another sub-tab, a search, another page), its old rows are greyed and cannot
// be selected until the reply refills the list. With a slow or silent server the user
// never takes the previous tab's rows for the new tab's.

class QTreeWidget;
class QWidget;

namespace vantrell::client {

// Greys every row of `list` and drops its selection; the next fill brings new rows.
void greyRows(QTreeWidget *list);
bool rowsGreyed(const QTreeWidget *list);

// Greys `list` whenever the controls of `page` send a new query of it: a sub-tab chosen
// (a QTabWidget with role "subTabs"), a search started from a box with role "search" or
// its button, a page turned with the pager's buttons or page box. A search that its
// screen refuses (special characters in the keyword) leaves the rows as they are.
void greyRowsOnNewQuery(QWidget *page, QTreeWidget *list);

} // namespace vantrell::client
