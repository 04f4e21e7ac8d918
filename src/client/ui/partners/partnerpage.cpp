#include "client/ui/partners/partnerpage.h"

#include "client/net/request.h"
#include "client/ui/common/clickguard.h"
#include "client/ui/common/inputrules.h"
#include "client/ui/common/keywordbox.h"
#include "client/ui/common/listfiller.h"
#include "client/ui/common/pagecontrols.h"
#include "client/ui/common/pagedlist.h"
#include "client/ui/common/stateicons.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vantrell::client {

PartnerPage::PartnerPage(QWidget *parent) : QWidget(parent)
{
    auto *layout = makePageLayout(this);
    const TabbedSearch top =
        makeTabbedSearch(this, layout, QStringLiteral("高级选择夹_商家管理"),
                         {QStringLiteral("所有商家"), QStringLiteral("合作商家")},
                         QStringLiteral("编辑框_商家管理_搜索"), QStringLiteral("超级按钮_商家管理_搜索"));
    m_tabs = top.tabs;
    m_keyword = top.box;
    m_search = top.button;

    auto *actions = new QHBoxLayout;
    actions->setSpacing(8);
    m_first = makeButton(this, QStringLiteral("超级按钮_商家管理_1"), QStringLiteral("合作"), true);
    actions->addWidget(m_first);
    actions->addWidget(makeButton(this, QStringLiteral("超级按钮_商家管理_2"), QStringLiteral("取消合作")));
    m_authorise = makeButton(this, QStringLiteral("超级按钮_商家管理_商品授权"), QStringLiteral("商品授权"));
    actions->addWidget(m_authorise);
    actions->addStretch(1);
    layout->addLayout(actions);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("超级列表框_商家"));
    makeReportList(m_list);
    layout->addWidget(m_list, 1);

    const PagerControls pager = makePager(this, QStringLiteral("商家"));
    layout->addLayout(pager.row);
    m_pager = new PagedList(m_list, pager.label, pager.box, pager.previous, pager.next,
                            [this](const QString &page) { refresh(page); });
    setDesignColumns(m_list, {{QStringLiteral("ID"), 0, 0},
                              {QStringLiteral("状态"), 80},
                              {QStringLiteral("商家名称"), 100},
                              {QStringLiteral("姓名"), 80},
                              {QStringLiteral("电话"), 80},
                              {QStringLiteral("地址"), 125}});

    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { refresh(QStringLiteral("1")); });
    connect(m_search, &QPushButton::clicked, this, [this] {
        refresh(QStringLiteral("1"));
        clickGuard({m_search});
    });
    connect(m_keyword, &QLineEdit::returnPressed, this, [this] {
        refresh(QStringLiteral("1"));
        clickGuard({m_keyword});
    });
}

void PartnerPage::refresh(const QString &page)
{
    if (!screenTyped({m_keyword->text()}))
        return;
    send<protocol::Request::PartnerList>(keywordValue(m_keyword->text()), pageParam(page),
                                         m_tabs->currentIndex());
}

void PartnerPage::fill(std::string_view gbkText)
{
    static const QList<QIcon> icons{dotIcon(QColor(0xf5, 0x9e, 0x0b)), dotIcon(QColor(0x16, 0xa3, 0x4a)),
                                    dotIcon(QColor(0x94, 0xa3, 0xb8))};
    m_pager->fill(gbkText);
    setStateIcons(m_list, 1, {QStringLiteral("审核中"), QStringLiteral("正常"), QStringLiteral("停用")},
                  icons);
}

void PartnerPage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    restretchColumns(m_list);
}

} // namespace vantrell::client
