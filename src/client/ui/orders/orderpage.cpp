#include "client/ui/orders/orderpage.h"

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/net/request.h"
#include "client/ui/account/dashboard.h"
#include "client/ui/common/clickguard.h"
#include "client/ui/common/inputrules.h"
#include "client/ui/common/keywordbox.h"
#include "client/ui/common/listfiller.h"
#include "client/ui/common/pagecontrols.h"
#include "client/ui/common/pagedlist.h"
#include "client/ui/common/stateicons.h"
#include "client/ui/orders/orderhooks.h"
#include "client/ui/partners/supplierdropdown.h"

#include <QClipboard>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vantrell::client {

namespace {

const QStringList &stateTexts()
{
    static const QStringList texts{QStringLiteral("待发货"), QStringLiteral("已发货"),
                                   QStringLiteral("取消中"), QStringLiteral("已关闭")};
    return texts;
}

const QList<QIcon> &stateIcons()
{
    static const QList<QIcon> icons{dotIcon(QColor(0xf5, 0x9e, 0x0b)), dotIcon(QColor(0x16, 0xa3, 0x4a)),
                                    dotIcon(QColor(0xdc, 0x26, 0x26)), dotIcon(QColor(0x94, 0xa3, 0xb8))};
    return icons;
}

} // namespace

OrderPage::OrderPage(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 8);
    layout->setSpacing(8);

    m_dashboard = new Dashboard(this);
    layout->addWidget(m_dashboard);

    // The state tabs above, the partner filter and the keyword on a row of their own:
    // at the design width they do not fit side by side.
    auto *tabRow = new QHBoxLayout;
    tabRow->setContentsMargins(13, 0, 13, 0);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("高级选择夹_订单管理"));
    makeSubTabs(m_tabs, {QStringLiteral("全部订单"), QStringLiteral("待发货"), QStringLiteral("已发货"),
                         QStringLiteral("异常订单")});
    tabRow->addWidget(m_tabs);
    tabRow->addStretch(1);
    layout->addLayout(tabRow);

    auto *tools = new QHBoxLayout;
    tools->setContentsMargins(13, 0, 13, 0);
    tools->setSpacing(8);
    auto *partnerFrame = new QFrame(this);
    partnerFrame->setObjectName(QStringLiteral("外形框_订单管理_供应商采购商列表"));
    partnerFrame->setProperty("role", QStringLiteral("selector"));
    auto *partnerRow = new QHBoxLayout(partnerFrame);
    partnerRow->setContentsMargins(8, 0, 0, 0);
    partnerRow->setSpacing(0);
    m_partnerLabel = new QLabel(QStringLiteral("请选择合作商..."), partnerFrame);
    m_partnerLabel->setTextFormat(Qt::PlainText); // another merchant's company name
    m_partnerLabel->setObjectName(QStringLiteral("透明标签_订单管理_供应商采购商列表"));
    m_partnerLabel->setMinimumWidth(130);
    m_partnerArrow = makeButton(partnerFrame, QStringLiteral("超级按钮_订单管理_供应商采购商列表_搜索"),
                                QStringLiteral("▾"));
    m_partnerArrow->setProperty("role", QStringLiteral("arrow"));
    partnerRow->addWidget(m_partnerLabel, 1);
    partnerRow->addWidget(m_partnerArrow);
    attachSupplierDropDown(m_partnerArrow, m_partnerLabel, [this](int partnerId, const QString &company) {
        const QString none =
            appState().isPurchaser() ? QStringLiteral("请选择供应商...") : QStringLiteral("请选择商家...");
        m_partnerLabel->setText(company.isEmpty() ? none : company);
        setPartnerFilter(partnerId);
    });
    tools->addWidget(partnerFrame);

    const SearchControls search =
        makeSearch(this, tools, QStringLiteral("编辑框_生产单_搜索"), QStringLiteral("超级按钮_生产单_搜索"));
    m_keyword = search.box;
    m_search = search.button;
    tools->addStretch(1);
    m_action =
        makeButton(this, QStringLiteral("超级按钮_订单管理_下单发货"), QStringLiteral("下单发货"), true);
    tools->addWidget(m_action);
    layout->addLayout(tools);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("超级列表框_订单"));
    makeReportList(m_list);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *listRow = new QHBoxLayout;
    listRow->setContentsMargins(13, 0, 13, 0);
    listRow->addWidget(m_list);
    layout->addLayout(listRow, 1);

    const PagerControls pagerControls = makePager(this, QStringLiteral("订单"));
    pagerControls.row->setContentsMargins(13, 0, 13, 0);
    layout->addLayout(pagerControls.row);
    m_pager = new PagedList(m_list, pagerControls.label, pagerControls.box, pagerControls.previous,
                            pagerControls.next, [this](const QString &page) { refresh(page); });
    setDesignColumns(m_list, {{QStringLiteral("ID"), 0, 0},
                              {QStringLiteral("订单状态"), 80},
                              {QStringLiteral("订单号"), 110},
                              {QStringLiteral("商家名称"), 110},
                              {QStringLiteral("商品件数"), 70},
                              {QStringLiteral("订单金额"), 80},
                              {QStringLiteral("下单日期"), 90}});

    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { refresh(QStringLiteral("1")); });
    connect(m_search, &QPushButton::clicked, this, &OrderPage::search);
    connect(m_keyword, &QLineEdit::returnPressed, this, &OrderPage::search);
    connect(m_action, &QPushButton::clicked, this, &OrderPage::actionClicked);
    connect(m_list, &QTreeWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { openContextMenu(m_list->viewport()->mapToGlobal(pos)); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *item) { openOrderViewer(window(), item->text(0)); });
}

void OrderPage::refresh(const QString &page)
{
    if (!screenTyped({m_keyword->text()}))
        return;
    send<protocol::Request::OrderList>(m_tabs->currentIndex(), m_partnerFilter,
                                       keywordValue(m_keyword->text()), pageParam(page));
}

void OrderPage::setPartnerFilter(int partnerId)
{
    m_partnerFilter = partnerId;
    refresh(QStringLiteral("1"));
}

bool OrderPage::fill(std::string_view gbkText)
{
    if (!m_pager->fill(gbkText))
        return false;
    setStateIcons(m_list, 1, stateTexts(), stateIcons());
    return true;
}

void OrderPage::search()
{
    refresh(QStringLiteral("1"));
    clickGuard({m_search});
}

void OrderPage::actionClicked()
{
    if (appState().isPurchaser()) {
        openOrderPlacing(window());
        return;
    }
    if (m_list->selectedItems().isEmpty()) {
        inform(window(), QStringLiteral("请先选择一个订单!"), appState().appTitle);
        return;
    }
    openOrderViewer(window(), selectedCell(m_list, 0));
}

QMenu *OrderPage::openContextMenu(const QPoint &globalPos)
{
    if (m_list->selectedItems().isEmpty())
        return nullptr;
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("订单列表右键"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("复制单号"), this, &OrderPage::copyOrderNumber);
    menu->addAction(QStringLiteral("查看订单"), this, &OrderPage::viewSelectedOrder);
    QAction *cancel = menu->addAction(QStringLiteral("取消订单"), this, &OrderPage::cancelSelectedOrder);
    cancel->setEnabled(!appState().isSupplier());
    menu->popup(globalPos);
    return menu;
}

void OrderPage::copyOrderNumber()
{
    const QList<QTreeWidgetItem *> selected = m_list->selectedItems();
    if (selected.isEmpty())
        return;
    const QString number = cellByTitle(m_list, QStringLiteral("订单号"), selected.first());
    QGuiApplication::clipboard()->setText(number);
    inform(window(), QStringLiteral("订单号：") + number + QStringLiteral("\r\n已复制到剪辑版!"),
           appState().appTitle);
}

void OrderPage::viewSelectedOrder()
{
    if (m_list->selectedItems().isEmpty()) {
        inform(window(), QStringLiteral("请先选择一个订单!"), appState().appTitle);
        return;
    }
    openOrderViewer(window(), selectedCell(m_list, 0));
}

void OrderPage::cancelSelectedOrder()
{
    const QString orderId = selectedCell(m_list, 0);
    if (leadingInt(orderId) <= 0) {
        inform(window(), QStringLiteral("请选择一个订单!"), QStringLiteral("信息："));
        return;
    }
    if (!askYesNo(window(),
                  QStringLiteral(
                      "是否取消该订单?\r\n\r\n(提示：未发货订单取消后自动关闭,已发货订单需要供应商同意关闭)"),
                  QStringLiteral("取消订单")))
        return;
    send<protocol::Request::CancelOrder>(orderId);
}

void OrderPage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    restretchColumns(m_list);
}

} // namespace vantrell::client
