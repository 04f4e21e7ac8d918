#include "client/ui/orders/goodschooserwindow.h"

#include "client/core/windowregistry.h"
#include "client/net/request.h"
#include "client/ui/common/clickguard.h"
#include "client/ui/common/inputrules.h"
#include "client/ui/common/keywordbox.h"
#include "client/ui/common/listfiller.h"
#include "client/ui/orders/orderplacingwindow.h"
#include "protocol/decimal.h"
#include "ui_goodschooserwindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>

namespace vantrell::client {

GoodsChooserWindow::GoodsChooserWindow(OrderPlacingWindow *placing)
    : FramedWindow(placing), m_ui(new Ui::GoodsChooserWindow), m_placing(placing)
{
    m_ui->setupUi(this);
    adoptCloseButton(m_ui->图形按钮_关闭1);
    setWindowModality(Qt::ApplicationModal);
    WindowRegistry::set(WindowId::GoodsChoosing, this);
    setKeywordPlaceholder(m_ui->编辑框_选择商品_搜索);
    makeReportList(m_ui->超级列表框1);
    m_ui->组合框1->setItemData(0, 0);

    connect(m_ui->超级按钮_选择商品_搜索, &QPushButton::clicked, this, [this] {
        search();
        clickGuard({m_ui->超级按钮_选择商品_搜索});
    });
    connect(m_ui->编辑框_选择商品_搜索, &QLineEdit::returnPressed, this, [this] {
        search();
        clickGuard({m_ui->编辑框_选择商品_搜索});
    });
    connect(m_ui->组合框1, &QComboBox::currentIndexChanged, this, &GoodsChooserWindow::search);
    connect(m_ui->超级列表框1, &QTreeWidget::itemChanged, this, &GoodsChooserWindow::rowChanged);

    centreOnOwner();
    send<protocol::Request::OrderCategories>(m_placing->chosenSupplier());
    query(m_ui->组合框1->currentIndex());
}

GoodsChooserWindow::~GoodsChooserWindow()
{
    if (WindowRegistry::get(WindowId::GoodsChoosing) == this)
        WindowRegistry::set(WindowId::GoodsChoosing, nullptr);
}

void GoodsChooserWindow::addCategories(const QString &categoryList)
{
    if (!categoryList.contains(QLatin1Char('|')))
        return;
    // Adding entries is no choice of the user's: it must not query.
    const QSignalBlocker blocker(m_ui->组合框1);
    for (const QString &entry : categoryList.split(QLatin1Char('|'))) {
        const qsizetype comma = entry.indexOf(QLatin1Char(','));
        if (comma <= 0 || comma + 1 >= entry.size())
            continue;
        m_ui->组合框1->addItem(entry.mid(comma + 1), entry.left(comma).toInt());
    }
}

void GoodsChooserWindow::search()
{
    query(m_ui->组合框1->currentData().toInt());
}

void GoodsChooserWindow::query(int category)
{
    const QString keyword = m_ui->编辑框_选择商品_搜索->text();
    if (!screenTyped({keyword}, this))
        return;
    send<protocol::Request::OrderGoodsList>(m_placing->chosenSupplier(), category, keywordValue(keyword));
}

int GoodsChooserWindow::tickColumn() const
{
    for (int column = 0; column < m_ui->超级列表框1->columnCount(); ++column) {
        if (!m_ui->超级列表框1->isColumnHidden(column))
            return column;
    }
    return 0;
}

void GoodsChooserWindow::fillGoods(std::string_view gbkText)
{
    QTreeWidget *list = m_ui->超级列表框1;
    // Ticking what is already ordered is no tick of the user's.
    const QSignalBlocker blocker(list);
    fillList(list, gbkText);
    stretchColumns(list);
    const int tick = tickColumn();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem *row = list->topLevelItem(i);
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        const bool ordered = m_placing->hasGoods(cellByTitle(list, QStringLiteral("商品ID"), row));
        row->setCheckState(tick, ordered ? Qt::Checked : Qt::Unchecked);
    }
}

void GoodsChooserWindow::rowChanged(QTreeWidgetItem *row, int column)
{
    if (column != tickColumn())
        return;
    QTreeWidget *list = m_ui->超级列表框1;
    const QString goodsId = cellByTitle(list, QStringLiteral("商品ID"), row);
    if (row->checkState(column) != Qt::Checked) {
        m_placing->untickGoods(goodsId);
        return;
    }
    PlacingLine line;
    line.goodsId = goodsId;
    line.name = cellByTitle(list, QStringLiteral("名称"), row);
    line.code = cellByTitle(list, QStringLiteral("编码"), row);
    line.spec = cellByTitle(list, QStringLiteral("规格"), row);
    line.unit = cellByTitle(list, QStringLiteral("单位"), row);
    line.price = cellByTitle(list, QStringLiteral("单价"), row);
    line.priceFen = protocol::parseRounded(line.price.trimmed().toStdString(), 2).value_or(0);
    line.weightG =
        protocol::parseRounded(cellByTitle(list, QStringLiteral("重量"), row).trimmed().toStdString(), 3)
            .value_or(0);
    line.stock = cellByTitle(list, QStringLiteral("库存"), row).trimmed().toLongLong();
    if (!m_placing->tickGoods(line)) {
        const QSignalBlocker blocker(list);
        row->setCheckState(column, Qt::Unchecked);
    }
}

} // namespace vantrell::client
