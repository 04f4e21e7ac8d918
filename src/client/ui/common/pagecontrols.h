#pragma once

// The controls every list page repeats: a keyword box with its search button and the
// pager row (export on the left; page label, previous, page box, next on the right).

#include <QString>
#include <QStringList>

class QBoxLayout;
class QTabWidget;
class QVBoxLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace vantrell::client {

struct PagerControls
{
    QPushButton *exportButton = nullptr;
    QLabel *label = nullptr;
    QPushButton *previous = nullptr;
    QLineEdit *box = nullptr;
    QPushButton *next = nullptr;
    QHBoxLayout *row = nullptr;
};

// Names: 按钮_<stem>_导出<suffix>, 标签_<stem>_共<suffix>, 按钮_<stem>_上一页<suffix>,
// 编辑框_<stem>_页<suffix>, 按钮_<stem>_下一页<suffix>. The PagedList made on these
// controls takes the export button as its own.
PagerControls makePager(QWidget *parent, const QString &stem, const QString &suffix = {});

struct SearchControls
{
    QLineEdit *box = nullptr;
    QPushButton *button = nullptr;
};

SearchControls makeSearch(QWidget *parent, QBoxLayout *row, const QString &boxName,
                          const QString &buttonName);

// Fills `tabs` with empty pages so that it works as a bar of sub-tabs above a list.
void makeSubTabs(QTabWidget *tabs, const QStringList &captions);

// The outer layout of a list page, with the margins and spacing all pages share.
QVBoxLayout *makePageLayout(QWidget *page);

struct TabbedSearch
{
    QTabWidget *tabs = nullptr;
    QLineEdit *box = nullptr;
    QPushButton *button = nullptr;
};

// The top row of a list page: its sub-tabs on the left, keyword box and search button on
// the right.
TabbedSearch makeTabbedSearch(QWidget *page, QBoxLayout *pageLayout, const QString &tabsName,
                              const QStringList &tabCaptions, const QString &boxName,
                              const QString &buttonName);

// A push button of the pages' tool rows.
QPushButton *makeButton(QWidget *parent, const QString &objectName, const QString &caption,
                        bool primary = false);

} // namespace vantrell::client
