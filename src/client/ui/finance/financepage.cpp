#include "client/ui/finance/financepage.h"

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/net/request.h"
#include "client/ui/common/clickguard.h"
#include "client/ui/common/inputrules.h"
#include "client/ui/common/keywordbox.h"
#include "client/ui/common/listfiller.h"
#include "client/ui/common/pagecontrols.h"
#include "client/ui/common/pagedlist.h"
#include "client/ui/common/stateicons.h"
#include "client/ui/finance/financewindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vantrell::client {

FinancePage::FinancePage(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(13, 12, 13, 8);
    layout->setSpacing(8);

    auto *tools = new QHBoxLayout;
    tools->setSpacing(8);
    auto *heading = new QLabel(QStringLiteral("对账合作商"), this);
    heading->setProperty("role", QStringLiteral("pageHeading"));
    tools->addWidget(heading);
    tools->addStretch(1);
    const SearchControls search = makeSearch(this, tools, QStringLiteral("编辑框_财务对账_搜索"),
                                             QStringLiteral("超级按钮_财务对账_搜索"));
    m_keyword = search.box;
    m_search = search.button;
    m_open = makeButton(this, QStringLiteral("超级按钮_财务对账_查看"), QStringLiteral("查看"), true);
    tools->addWidget(m_open);
    layout->addLayout(tools);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("超级列表框_财务"));
    makeReportList(m_list);
    layout->addWidget(m_list, 1);

    const PagerControls pager = makePager(this, QStringLiteral("财务"));
    layout->addLayout(pager.row);
    m_pager = new PagedList(m_list, pager.label, pager.box, pager.previous, pager.next,
                            [this](const QString &page) { refresh(page); });
    setDesignColumns(m_list, {{QStringLiteral("ID"), 0, 0},
                              {QStringLiteral("商家名称"), 110},
                              {QStringLiteral("姓名"), 70},
                              {QStringLiteral("电话"), 90},
                              {QStringLiteral("地址"), 120},
                              {QStringLiteral("已结算"), 70},
                              {QStringLiteral("未结算"), 70}});

    connect(m_search, &QPushButton::clicked, this, [this] {
        refresh(QStringLiteral("1"));
        clickGuard({m_search});
    });
    connect(m_keyword, &QLineEdit::returnPressed, this, [this] {
        refresh(QStringLiteral("1"));
        clickGuard({m_search});
    });
    connect(m_open, &QPushButton::clicked, this, [this] {
        if (m_list->selectedItems().isEmpty()) {
            inform(window(), QStringLiteral("请选中一个商家!"), appState().appTitle);
            return;
        }
        openSelectedPartner();
    });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &FinancePage::openSelectedPartner);
}

void FinancePage::openSelectedPartner()
{
    const QList<QTreeWidgetItem *> selected = m_list->selectedItems();
    if (selected.isEmpty())
        return;
    const QString title = appState().isSupplier() ? QStringLiteral("采购商ID") : QStringLiteral("供应商ID");
    openFinanceWindow(window(), cellByTitle(m_list, title, selected.first()));
}

void FinancePage::refresh(const QString &page)
{
    if (!screenTyped({m_keyword->text()}))
        return;
    send<protocol::Request::FinancePartners>(keywordValue(m_keyword->text()), pageParam(page));
}

void FinancePage::fill(std::string_view gbkText)
{
    static const QIcon partnerIcon = dotIcon(QColor(0x2f, 0x6f, 0xde));
    m_pager->fill(gbkText);
    setColumnIcon(m_list, 1, partnerIcon); // beside the partner's name
}

void FinancePage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    restretchColumns(m_list);
}

} // namespace vantrell::client
