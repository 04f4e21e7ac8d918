#include "client/ui/common/pagecontrols.h"

#include "client/ui/common/keywordbox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vantrell::client {

PagerControls makePager(QWidget *parent, const QString &stem, const QString &suffix)
{
    PagerControls pager;
    pager.exportButton =
        makeButton(parent, QStringLiteral("按钮_%1_导出%2").arg(stem, suffix), QStringLiteral("导出"));
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
    pager.row->addWidget(pager.exportButton);
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

void makeSubTabs(QTabWidget *tabs, const QStringList &captions)
{
    tabs->setDocumentMode(true);
    tabs->setUsesScrollButtons(false);
    tabs->setProperty("role", QStringLiteral("subTabs"));
    tabs->tabBar()->setDrawBase(false);
    for (const QString &caption : captions) {
        auto *page = new QWidget(tabs);
        page->setFixedHeight(0);
        tabs->addTab(page, caption);
    }
    tabs->setFixedHeight(tabs->tabBar()->sizeHint().height());
    tabs->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
}

QVBoxLayout *makePageLayout(QWidget *page)
{
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(13, 12, 13, 8);
    layout->setSpacing(8);
    return layout;
}

TabbedSearch makeTabbedSearch(QWidget *page, QBoxLayout *pageLayout, const QString &tabsName,
                              const QStringList &tabCaptions, const QString &boxName,
                              const QString &buttonName)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(8);
    TabbedSearch made;
    made.tabs = new QTabWidget(page);
    made.tabs->setObjectName(tabsName);
    makeSubTabs(made.tabs, tabCaptions);
    row->addWidget(made.tabs);
    row->addStretch(1);
    const SearchControls search = makeSearch(page, row, boxName, buttonName);
    made.box = search.box;
    made.button = search.button;
    pageLayout->addLayout(row);
    return made;
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
