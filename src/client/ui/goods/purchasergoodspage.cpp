#include "client/ui/goods/purchasergoodspage.h"

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/net/request.h"
#include "client/ui/common/clickguard.h"
#include "client/ui/common/inputrules.h"
#include "client/ui/common/keywordbox.h"
#include "client/ui/common/listfiller.h"
#include "client/ui/common/pagecontrols.h"
#include "client/ui/common/pagedlist.h"
#include "client/ui/goods/goodseditor.h"
#include "client/ui/goods/goodspage.h"
#include "client/ui/partners/supplierdropdown.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vantrell::client {

namespace {
const QString kNoSupplier = QStringLiteral("请选择供应商...");
}

PurchaserGoodsPage::PurchaserGoodsPage(QWidget *parent) : QWidget(parent)
{
    auto *layout = makePageLayout(this);
    const TabbedSearch top =
        makeTabbedSearch(this, layout, QStringLiteral("高级选择夹_商品管理1"),
                         {QStringLiteral("在售商品"), QStringLiteral("下架商品")},
                         QStringLiteral("编辑框_商品管理_搜索1"), QStringLiteral("超级按钮_商品管理_搜索1"));
    m_tabs = top.tabs;
    m_keyword = top.box;
    m_search = top.button;

    auto *actions = new QHBoxLayout;
    actions->setSpacing(8);
    auto *selector = new QFrame(this);
    selector->setObjectName(QStringLiteral("外形框_商品管理_供应商列表"));
    selector->setProperty("role", QStringLiteral("selector"));
    auto *selectorRow = new QHBoxLayout(selector);
    selectorRow->setContentsMargins(8, 0, 0, 0);
    selectorRow->setSpacing(0);
    m_supplierLabel = new QLabel(kNoSupplier, selector);
    m_supplierLabel->setTextFormat(Qt::PlainText); // another merchant's company name
    m_supplierLabel->setObjectName(QStringLiteral("透明标签_供应商列表"));
    m_supplierLabel->setMinimumWidth(150);
    auto *arrow = makeButton(selector, QStringLiteral("超级按钮_供应商列表_搜索"), QStringLiteral("▾"));
    arrow->setProperty("role", QStringLiteral("arrow"));
    selectorRow->addWidget(m_supplierLabel, 1);
    selectorRow->addWidget(arrow);
    attachSupplierDropDown(arrow, m_supplierLabel, [this](int supplierId, const QString &company) {
        chooseSupplier(supplierId, company);
    });
    actions->addWidget(selector);
    actions->addStretch(1);
    auto *view = makeButton(this, QStringLiteral("超级按钮_查看商品"), QStringLiteral("查看"), true);
    actions->addWidget(view);
    layout->addLayout(actions);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("超级列表框_商品2"));
    makeReportList(m_list);
    layout->addWidget(m_list, 1);

    const PagerControls pager = makePager(this, QStringLiteral("商品"), QStringLiteral("1"));
    layout->addLayout(pager.row);
    m_pager = new PagedList(m_list, pager.label, pager.box, pager.previous, pager.next,
                            [this](const QString &) { refresh(); });
    setGoodsDesignColumns(m_list);

    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { refresh(); });
    connect(m_search, &QPushButton::clicked, this, [this] {
        refresh();
        clickGuard({m_search});
    });
    connect(m_keyword, &QLineEdit::returnPressed, this, [this] {
        refresh();
        clickGuard({m_keyword});
    });
    connect(view, &QPushButton::clicked, this, [this] { viewSelected(true); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { viewSelected(false); });
}

void PurchaserGoodsPage::viewSelected(bool complain)
{
    const QString id = selectedCell(m_list, 0);
    if (id.isEmpty()) {
        if (complain)
            inform(window(), QStringLiteral("请先选中一个商品!"), appState().appTitle);
        return;
    }
    openGoodsEditor(window(), GoodsEditor::Mode::View, id.toInt());
}

void PurchaserGoodsPage::refresh()
{
    if (!screenTyped({m_keyword->text()}))
        return;
    send<protocol::Request::PurchaserGoodsList>(m_supplier, keywordValue(m_keyword->text()),
                                                pageParam(m_pager->pageText()), m_tabs->currentIndex() + 1);
}

void PurchaserGoodsPage::chooseSupplier(int supplierId, const QString &company)
{
    m_supplier = supplierId;
    m_supplierLabel->setText(company.isEmpty() ? kNoSupplier : company);
    refresh();
}

void PurchaserGoodsPage::fill(std::string_view gbkText)
{
    m_pager->fill(gbkText);
    setGoodsStatusIcons(m_list);
    restretchColumns(m_list); // the status column makes room for its pictures
}

void PurchaserGoodsPage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    restretchColumns(m_list);
}

} // namespace vantrell::client
