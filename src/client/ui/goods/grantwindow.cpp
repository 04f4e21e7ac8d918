#include "client/ui/goods/grantwindow.h"

#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/request.h"
#include "client/ui/common/clickguard.h"
#include "client/ui/common/inputrules.h"
#include "client/ui/common/keywordbox.h"
#include "client/ui/common/listfiller.h"
#include "client/ui/common/pagedlist.h"
#include "ui_grantwindow.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTreeWidget>

namespace vantrell::client {

namespace {

constexpr int kTickColumn = 1; // the first visible column, the goods name

void setGrantGoodsColumns(QTreeWidget *list)
{
    setDesignColumns(list, {{QStringLiteral("ID"), 0, 0},
                            {QStringLiteral("商品名称"), 160},
                            {QStringLiteral("商品分类"), 85},
                            {QStringLiteral("商品编码"), 100},
                            {QStringLiteral("商品规格"), 80}});
}

} // namespace

GrantWindow::GrantWindow(QWidget *mainWindow) : FramedWindow(mainWindow), m_ui(new Ui::GrantWindow)
{
    m_ui->setupUi(this);
    adoptCloseButton(m_ui->图形按钮_关闭2);
    setWindowModality(Qt::ApplicationModal);
    WindowRegistry::set(WindowId::GoodsAuthorisation, this);

    setKeywordPlaceholder(m_ui->编辑框_分销商_搜索);
    setKeywordPlaceholder(m_ui->编辑框_授权商品_搜索);
    makeReportList(m_ui->超级列表框_采购商);
    makeReportList(m_ui->超级列表框_商品);
    setDesignColumns(m_ui->超级列表框_采购商,
                     {{QStringLiteral("ID"), 0, 0}, {QStringLiteral("公司名称"), 160}});
    setGrantGoodsColumns(m_ui->超级列表框_商品);
    m_pager =
        new PagedList(m_ui->超级列表框_商品, m_ui->标签_商品_共, m_ui->编辑框_商品_页, m_ui->按钮_商品_上一页,
                      m_ui->按钮_商品_下一页, [this](const QString &page) { queryGoods(page); });
    m_pager->setPageBoxKeys(PagedList::PageBoxKeys::Ignored);

    connect(m_ui->超级按钮_分销商_搜索, &QPushButton::clicked, this, [this] {
        queryDistributors();
        clickGuard({m_ui->超级按钮_分销商_搜索});
    });
    connect(m_ui->编辑框_分销商_搜索, &QLineEdit::returnPressed, this, [this] {
        queryDistributors();
        clickGuard({m_ui->编辑框_分销商_搜索});
    });
    connect(m_ui->超级按钮_授权商品_搜索, &QPushButton::clicked, this, [this] {
        queryGoods(QStringLiteral("1"));
        clickGuard({m_ui->超级按钮_授权商品_搜索});
    });
    connect(m_ui->编辑框_授权商品_搜索, &QLineEdit::returnPressed, this, [this] {
        queryGoods(m_pager->pageText());
        clickGuard({m_ui->编辑框_授权商品_搜索});
    });
    connect(m_ui->超级列表框_采购商, &QTreeWidget::itemSelectionChanged, this,
            &GrantWindow::distributorChanged);
    connect(m_ui->单选框1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            modeChosen(1);
    });
    connect(m_ui->单选框2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            modeChosen(2);
    });
    connect(m_ui->超级列表框_商品, &QTreeWidget::itemChanged, this, &GrantWindow::tickChanged);

    centreOnOwner();
    queryDistributors();
}

GrantWindow::~GrantWindow()
{
    if (WindowRegistry::get(WindowId::GoodsAuthorisation) == this)
        WindowRegistry::set(WindowId::GoodsAuthorisation, nullptr);
}

void GrantWindow::resetGoods()
{
    const QSignalBlocker listBlocker(m_ui->超级列表框_商品);
    const QSignalBlocker allBlocker(m_ui->单选框1);
    const QSignalBlocker someBlocker(m_ui->单选框2);
    m_ui->超级列表框_商品->clear();
    m_ui->单选框1->setChecked(true);
    m_ui->单选框2->setChecked(false);
    m_ui->标签_商品_共->setText(QStringLiteral("共 1 页"));
    m_ui->编辑框_商品_页->setText(QStringLiteral("1"));
    m_ui->编辑框_授权商品_搜索->clear(); // shows the keyword placeholder
    m_ui->外形框4->setEnabled(false);
    m_ui->透明标签2->setText(QStringLiteral("授权商品"));
    m_distributor = -1;
    m_goodsShown = false;
}

void GrantWindow::queryDistributors()
{
    resetGoods();
    if (!screenTyped({m_ui->编辑框_分销商_搜索->text()}, this))
        return;
    send<protocol::Request::DistributorList>(keywordValue(m_ui->编辑框_分销商_搜索->text()));
}

void GrantWindow::queryGoods(const QString &page)
{
    if (m_distributor < 0 || !screenTyped({m_ui->编辑框_授权商品_搜索->text()}, this))
        return;
    send<protocol::Request::GrantGoodsList>(m_distributor, keywordValue(m_ui->编辑框_授权商品_搜索->text()),
                                            page);
}

void GrantWindow::fillDistributors(std::string_view gbkText)
{
    // Refilling clears the selection, which must not count as the user's choice.
    const QSignalBlocker blocker(m_ui->超级列表框_采购商);
    fillList(m_ui->超级列表框_采购商, gbkText);
}

void GrantWindow::distributorChanged()
{
    const QList<QTreeWidgetItem *> selected = m_ui->超级列表框_采购商->selectedItems();
    if (selected.isEmpty()) {
        resetGoods();
        return;
    }
    const QTreeWidgetItem *row = selected.first();
    const int id = row->text(0).toInt();
    if (id == m_distributor)
        return;
    // The previous distributor's ticks leave with it: a tick made before the new list
    // arrives would be stored for the distributor the server already switched to.
    {
        const QSignalBlocker blocker(m_ui->超级列表框_商品);
        m_ui->超级列表框_商品->clear();
    }
    m_ui->外形框4->setEnabled(false);
    m_goodsShown = false;
    m_distributor = id;
    m_ui->透明标签2->setText(row->text(1) + QStringLiteral(" - 授权商品"));
    queryGoods(QStringLiteral("1"));
}

void GrantWindow::fillGoods(const Reply &reply)
{
    if (m_distributor < 0 || reply.value(QStringLiteral("采购商ID")) != QString::number(m_distributor))
        return;
    const bool all = reply.value(QStringLiteral("商品授权")) == QStringLiteral("1");
    const QSignalBlocker listBlocker(m_ui->超级列表框_商品);
    const QSignalBlocker allBlocker(m_ui->单选框1);
    const QSignalBlocker someBlocker(m_ui->单选框2);
    m_ui->外形框4->setEnabled(true);
    m_ui->单选框1->setChecked(all);
    m_ui->单选框2->setChecked(!all);
    m_ui->超级列表框_商品->setEnabled(!all);
    m_pager->fill(reply.fullText);
    QTreeWidget *list = m_ui->超级列表框_商品;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = list->topLevelItem(i);
        const bool ticked = all || cellByTitle(list, QStringLiteral("授权状态"), item) == QStringLiteral("1");
        item->setCheckState(kTickColumn, ticked ? Qt::Checked : Qt::Unchecked);
    }
    m_goodsShown = true;
}

void GrantWindow::modeChanged(const Reply &reply)
{
    if (m_distributor >= 0 && reply.value(QStringLiteral("采购商ID")) == QString::number(m_distributor))
        queryGoods(QStringLiteral("1"));
}

void GrantWindow::modeChosen(int mode)
{
    m_ui->超级列表框_商品->setEnabled(mode == 2);
    if (m_distributor >= 0)
        send<protocol::Request::SetGrantMode>(m_distributor, mode);
}

void GrantWindow::tickChanged(QTreeWidgetItem *item, int column)
{
    // The item itself says which row was ticked; the current row may be another one.
    if (column != kTickColumn || !m_goodsShown || !item)
        return;
    const QString id = cellByTitle(m_ui->超级列表框_商品, QStringLiteral("ID"), item);
    if (id.isEmpty())
        return;
    send<protocol::Request::SetGrant>(id, item->checkState(kTickColumn) == Qt::Checked ? 1 : 2);
}

void openGrantWindowOver(QWidget *mainWindow)
{
    if (QWidget *open = WindowRegistry::get(WindowId::GoodsAuthorisation)) {
        open->raise();
        return;
    }
    (new GrantWindow(mainWindow))->show();
}

} // namespace vantrell::client
