#include "client/ui/common/pagecontrols.h"

#include "client/ui/common/keywordbox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vantrell::client {

PagerControls makePager(QWidget *parent, const QString &stem, const QString &suffix)
{
    PagerControls pager;
    pager.label = new QLabel(QStringLiteral("共 1 页"), parent);
    pager.label->setObjectName(QStringLiteral("标签_%1_共%2").arg(stem, suffix));
    pager.label->setProperty("role", QStringLiteral("pageCount"));
    pager.previous =
        makeButton(parent, QStringLiteral("按钮_%1_上一页%2").arg(stem, suffix), QStringLiteral("上一页"));
    pager.box = new QLineEdit(QStringLiteral("1"), parent);
    pager.box->setObjectName(QStringLiteral("编辑框_%1_页%2").arg(stem, suffix));
    pager.box->setAlignment(Qt::AlignCenter);
    pager.box->setFixedWidth(48);
    pager.box->setMaxLength(9);
    pager.next =
        makeButton(parent, QStringLiteral("按钮_%1_下一页%2").arg(stem, suffix), QStringLiteral("下一页"));
    pager.row = new QHBoxLayout;
    pager.row->setSpacing(6);
    pager.row->addStretch(1);
    pager.row->addWidget(pager.label);
    pager.row->addSpacing(6);
    pager.row->addWidget(pager.previous);
    pager.row->addWidget(pager.box);
    pager.row->addWidget(pager.next);
    return pager;
}

SearchControls makeSearch(QWidget *parent, QBoxLayout *row, const QString &boxName, const QString &buttonName)
{
    SearchControls search;
    search.box = new QLineEdit(parent);
    search.box->setObjectName(boxName);
    search.box->setFixedWidth(170);
    search.box->setProperty("role", QStringLiteral("search"));
    setKeywordPlaceholder(search.box);
    search.button = makeButton(parent, buttonName, QStringLiteral("搜索"));
    row->addWidget(search.box);
    row->addWidget(search.button);
    return search;
}

QPushButton *makeButton(QWidget *parent, const QString &objectName, const QString &caption, bool primary)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(objectName);
    button->setCursor(Qt::PointingHandCursor);
    button->setAutoDefault(false);
    if (primary)
        button->setProperty("role", QStringLiteral("primary"));
    return button;
}

} // namespace vantrell::client
