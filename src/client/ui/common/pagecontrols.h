#pragma once

// The controls every list page repeats: a keyword box with its search button and the
// pager row (page label, previous, page box, next).

#include <QString>

class QBoxLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace vantrell::client {

struct PagerControls
{
    QLabel *label = nullptr;
    QPushButton *previous = nullptr;
    QLineEdit *box = nullptr;
    QPushButton *next = nullptr;
    QHBoxLayout *row = nullptr;
};

// Names: 标签_<stem>_共<suffix>, 按钮_<stem>_上一页<suffix>, 编辑框_<stem>_页<suffix>,
// 按钮_<stem>_下一页<suffix>.
PagerControls makePager(QWidget *parent, const QString &stem, const QString &suffix = {});

struct SearchControls
{
    QLineEdit *box = nullptr;
    QPushButton *button = nullptr;
};

SearchControls makeSearch(QWidget *parent, QBoxLayout *row, const QString &boxName,
                          const QString &buttonName);

// A push button of the pages' tool rows.
QPushButton *makeButton(QWidget *parent, const QString &objectName, const QString &caption,
                        bool primary = false);

} // namespace vantrell::client
