#include "client/ui/goods/goodspage.h"

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
#include "client/ui/freight/freightwindow.h"
#include "client/ui/goods/goodseditor.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vantrell::client {

void setGoodsDesignColumns(QTreeWidget *list)
{
    setDesignColumns(list, {{QStringLiteral("ID"), 0, 0},
                            {QStringLiteral("商品编码"), 80},
                            {QStringLiteral("商品分类"), 85},
                            {QStringLiteral("商品名称"), 100},
                            {QStringLiteral("商品规格"), 80},
                            {QStringLiteral("商品单价"), 80},
                            {QStringLiteral("商品重量"), 85},
                            {QStringLiteral("商品库存"), 80}});
}

void setGoodsStatusIcons(QTreeWidget *list)
{
    static const QList<QIcon> icons{dotIcon(QColor(0x16, 0xa3, 0x4a)), dotIcon(QColor(0x94, 0xa3, 0xb8))};
    setStateIcons(list, 1, {QStringLiteral("正常"), QStringLiteral("下架")}, icons);
}

GoodsPage::GoodsPage(QWidget *parent) : QWidget(parent)
{
    auto *layout = makePageLayout(this);
    const TabbedSearch top =
        makeTabbedSearch(this, layout, QStringLiteral("高级选择夹_商品管理"),
                         {QStringLiteral("在售商品"), QStringLiteral("下架商品")},
                         QStringLiteral("编辑框_商品管理_搜索"), QStringLiteral("超级按钮_商品管理_搜索"));
    m_tabs = top.tabs;
    m_keyword = top.box;
    m_search = top.button;

    auto *actions = new QHBoxLayout;
    actions->setSpacing(8);
    auto *add = makeButton(this, QStringLiteral("超级按钮_商品管理_新增"), QStringLiteral("新增"), true);
    auto *edit = makeButton(this, QStringLiteral("超级按钮_商品管理_编辑"), QStringLiteral("编辑"));
    m_shelf = makeButton(this, QStringLiteral("超级按钮_商品管理_下架上架"), QStringLiteral("下架"));
    auto *freight = makeButton(this, QStringLiteral("超级按钮_商品管理_授权"), QStringLiteral("运费"));
    actions->addWidget(add);
    actions->addWidget(edit);
    actions->addWidget(m_shelf);
    actions->addWidget(freight);
    actions->addStretch(1);
    layout->addLayout(actions);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("超级列表框_商品"));
    makeReportList(m_list);
    layout->addWidget(m_list, 1);

    const PagerControls pager = makePager(this, QStringLiteral("商品"));
    layout->addLayout(pager.row);
    m_pager = new PagedList(m_list, pager.label, pager.box, pager.previous, pager.next,
                            [this](const QString &page) { refresh(page); });
    setGoodsDesignColumns(m_list);

    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        m_shelf->setText(index == 1 ? QStringLiteral("上架") : QStringLiteral("下架"));
        refresh(QStringLiteral("1"));
    });
    connect(m_search, &QPushButton::clicked, this, [this] {
        refresh(QStringLiteral("1"));
        clickGuard({m_search});
    });
    connect(m_keyword, &QLineEdit::returnPressed, this, [this] {
        refresh(QStringLiteral("1"));
        clickGuard({m_keyword});
    });
    connect(add, &QPushButton::clicked, this,
            [this] { openGoodsEditor(window(), GoodsEditor::Mode::Add, 0); });
    connect(edit, &QPushButton::clicked, this, [this] { editSelected(true); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { editSelected(false); });
    connect(m_shelf, &QPushButton::clicked, this, &GoodsPage::shelveSelected);
    connect(freight, &QPushButton::clicked, this, [this] { openFreightWindowOver(window()); });
}

void GoodsPage::editSelected(bool complain)
{
    const QString id = selectedCell(m_list, 0);
    if (id.isEmpty()) {
        if (complain)
            inform(window(), QStringLiteral("请先选中一个商品!"), appState().appTitle);
        return;
    }
    openGoodsEditor(window(), GoodsEditor::Mode::Edit, id.toInt());
}

void GoodsPage::shelveSelected()
{
    const QString id = selectedCell(m_list, 0);
    if (id.isEmpty()) {
        inform(window(), QStringLiteral("请先选中一个商品!"), appState().appTitle);
        return;
    }
    send<protocol::Request::ShelveGoods>(id, m_shelf->text());
}

void GoodsPage::refresh(const QString &page)
{
    if (!screenTyped({m_keyword->text()}))
        return;
    send<protocol::Request::SupplierGoodsList>(keywordValue(m_keyword->text()), pageParam(page),
                                               m_tabs->currentIndex() + 1);
}

QString GoodsPage::pageText() const
{
    return m_pager->pageText();
}

void GoodsPage::fill(std::string_view gbkText)
{
    m_pager->fill(gbkText);
    setGoodsStatusIcons(m_list);
    restretchColumns(m_list); // the status column makes room for its pictures
}

void GoodsPage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    restretchColumns(m_list);
}

} // namespace vantrell::client
