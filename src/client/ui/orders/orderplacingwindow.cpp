#include "client/ui/orders/orderplacingwindow.h"

#include "client/core/appstate.h"
#include "client/core/gbklimit.h"
#include "client/core/messagebox.h"
#include "client/core/text.h"
#include "client/core/windowregistry.h"
#include "client/net/request.h"
#include "client/net/services.h"
#include "client/ui/common/inputrules.h"
#include "client/ui/common/keywordbox.h"
#include "client/ui/common/listfiller.h"
#include "client/ui/orders/goodschooserwindow.h"
#include "protocol/decimal.h"
#include "protocol/listreply.h"
#include "protocol/scramble.h"
#include "ui_orderplacingwindow.h"

#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>

namespace vantrell::client {

namespace {

constexpr int kQuantityColumn = 6;
constexpr int kPanelClosed = 95;
constexpr int kPanelOpen = 282;

// A quantity is a whole number of pieces; anything else cannot even be typed.
class QuantityDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        auto *editor = new QLineEdit(parent);
        editor->setAlignment(Qt::AlignCenter);
        editor->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,6}")), editor));
        return editor;
    }
};

QString fixed(long long value, int decimals)
{
    return QString::fromStdString(protocol::formatFixed(value, decimals));
}

QString trimmed(long long value, int decimals)
{
    return QString::fromStdString(protocol::formatTrimmed(value, decimals));
}

long long scaledOrZero(const QString &text, int decimals)
{
    return protocol::parseRounded(text.trimmed().toStdString(), decimals).value_or(0);
}

QTableWidgetItem *cell(const QString &text, bool editable)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    if (!editable)
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

void setupGrid(QTableWidget *grid, const QStringList &headers)
{
    grid->setColumnCount(int(headers.size()));
    grid->setHorizontalHeaderLabels(headers);
    grid->verticalHeader()->setVisible(false);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    QFont font(QStringLiteral("微软雅黑"));
    font.setPixelSize(14);
    grid->setFont(font);
    grid->verticalHeader()->setDefaultSectionSize(24);
}

} // namespace

OrderPlacingWindow::OrderPlacingWindow(QWidget *owner) : FramedWindow(owner), m_ui(new Ui::OrderPlacingWindow)
{
    m_ui->setupUi(this);
    adoptCloseButton(m_ui->图形按钮_关闭2);
    setWindowModality(Qt::ApplicationModal);
    WindowRegistry::set(WindowId::OrderPlacing, this);

    setKeywordPlaceholder(m_ui->编辑框_供应商_搜索);
    limitGbkBytes(m_ui->编辑框_收货地址, 200);
    limitGbkBytes(m_ui->编辑框_给供应商留言, 100);
    makeReportList(m_ui->超级列表框_供应商列表);
    m_ui->透明标签_订单管理_供应商采购商列表->installEventFilter(this);

    QTableWidget *goods = m_ui->高级表格1;
    setupGrid(goods, {QStringLiteral("序号"), QStringLiteral("名称"), QStringLiteral("编码"),
                      QStringLiteral("规格"), QStringLiteral("单位"), QStringLiteral("单价"),
                      QStringLiteral("数量"), QStringLiteral("金额")});
    const int widths[] = {45, 160, 85, 85, 45, 75, 65, 85};
    for (int column = 0; column < 8; ++column)
        goods->setColumnWidth(column, widths[column]);
    goods->horizontalHeader()->setStretchLastSection(true);
    goods->setItemDelegateForColumn(kQuantityColumn, new QuantityDelegate(goods));
    goods->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    goods->installEventFilter(this);
    // The arrow keys move between the cells (typing a digit starts the quantity); Tab goes
    // on to the next control.
    goods->setTabKeyNavigation(false);
    setupGrid(m_ui->高级表格2,
              {QString(), QStringLiteral("件数"), QStringLiteral("重量"), QStringLiteral("商品金额"),
               QStringLiteral("运费"), QStringLiteral("总金额")});
    m_ui->高级表格2->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_ui->高级表格2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_ui->高级表格2->setFocusPolicy(Qt::NoFocus); // figures only, nothing to do there
    resetGrids();

    connect(m_ui->超级按钮_订单管理_供应商采购商列表_搜索, &QToolButton::clicked, this,
            &OrderPlacingWindow::toggleSupplierPanel);
    connect(m_ui->超级按钮_供应商_搜索, &QPushButton::clicked, this, &OrderPlacingWindow::searchSuppliers);
    connect(m_ui->编辑框_供应商_搜索, &QLineEdit::returnPressed, this, &OrderPlacingWindow::searchSuppliers);
    connect(m_ui->超级列表框_供应商列表, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *row) { pickSupplier(row); });
    connect(m_ui->超级列表框_供应商列表, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem *row) { pickSupplier(row); });
    connect(m_ui->超级按钮_订单管理_下单发货1, &QPushButton::clicked, this, &OrderPlacingWindow::chooseGoods);
    connect(goods, &QTableWidget::cellChanged, this, &OrderPlacingWindow::quantityEdited);
    connect(m_ui->编辑框_收货地址, &QLineEdit::editingFinished, this, [this] {
        if (totals().count > 0)
            updateFreight();
    });
    connect(m_ui->超级按钮_订单管理_粘贴, &QPushButton::clicked, this, &OrderPlacingWindow::pasteLines);
    connect(m_ui->超级按钮_订单管理_下单, &QPushButton::clicked, this, &OrderPlacingWindow::submit);
    // A refused order comes back as a notice: the form may be corrected and sent again.
    Services::observeNotices(this, [this](const QString &) { setSubmitLocked(false); });

    // Top down as the form is filled: the supplier, the goods, where to, then the order.
    QWidget *const order[] = {m_ui->超级按钮_订单管理_供应商采购商列表_搜索,
                              m_ui->编辑框_供应商_搜索,
                              m_ui->超级按钮_供应商_搜索,
                              m_ui->超级列表框_供应商列表,
                              m_ui->超级按钮_订单管理_下单发货1,
                              goods,
                              m_ui->高级选择夹2,
                              m_ui->编辑框_收货地址,
                              m_ui->编辑框_给供应商留言,
                              m_ui->超级按钮_订单管理_粘贴,
                              m_ui->超级按钮_订单管理_下单};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    centreOnOwner();
}

OrderPlacingWindow::~OrderPlacingWindow()
{
    if (WindowRegistry::get(WindowId::OrderPlacing) == this)
        WindowRegistry::set(WindowId::OrderPlacing, nullptr);
}

PlacingTotals OrderPlacingWindow::totals() const
{
    PlacingTotals sum;
    for (const PlacingLine &line : m_lines) {
        sum.count += line.quantity;
        sum.weightG += line.weightG * line.quantity;
        sum.goodsFen += line.priceFen * line.quantity;
    }
    return sum;
}

bool OrderPlacingWindow::hasGoods(const QString &goodsId) const
{
    return std::any_of(m_lines.begin(), m_lines.end(),
                       [&](const PlacingLine &line) { return line.goodsId == goodsId; });
}

bool OrderPlacingWindow::tickGoods(const PlacingLine &line)
{
    if (hasGoods(line.goodsId))
        return true;
    if (line.stock <= 0) {
        inform(this, QStringLiteral("商品库存不足。"), windowTitle());
        return false;
    }
    if (m_lines.size() >= kMaxOrderLines) {
        inform(this, QStringLiteral("商品数量不能超过50个。"), windowTitle());
        return false;
    }
    PlacingLine added = line;
    added.quantity = 0;
    m_lines.append(added);
    rebuildGoodsGrid();
    return true;
}

void OrderPlacingWindow::untickGoods(const QString &goodsId)
{
    m_lines.removeIf([&](const PlacingLine &line) { return line.goodsId == goodsId; });
    rebuildGoodsGrid();
    updateFreight();
}

void OrderPlacingWindow::resetGrids()
{
    QTableWidget *goods = m_ui->高级表格1;
    const QSignalBlocker blocker(goods);
    goods->setRowCount(kMaxOrderLines);
    for (int row = 0; row < kMaxOrderLines; ++row) {
        goods->setItem(row, 0, cell(QString::number(row + 1), false));
        for (int column = 1; column < 8; ++column)
            goods->setItem(row, column, cell(QString(), column == kQuantityColumn));
    }
    QTableWidget *sums = m_ui->高级表格2;
    const QSignalBlocker sumBlocker(sums);
    sums->setItem(0, 0, cell(QStringLiteral("合计"), false));
    for (int column = 1; column < 6; ++column)
        sums->setItem(0, column, cell(QString(), false));
}

void OrderPlacingWindow::rebuildGoodsGrid()
{
    QTableWidget *goods = m_ui->高级表格1;
    // Filling is no typing: no cell change may count as an edited quantity.
    const QSignalBlocker blocker(goods);
    for (int row = 0; row < kMaxOrderLines; ++row) {
        const bool used = row < m_lines.size();
        const PlacingLine empty;
        const PlacingLine &line = used ? m_lines[row] : empty;
        const QStringList texts = {line.name,
                                   line.code,
                                   line.spec,
                                   line.unit,
                                   line.price,
                                   used ? QString::number(line.quantity) : QString(),
                                   used ? fixed(line.priceFen * line.quantity, 2) : QString()};
        for (int column = 1; column < 8; ++column)
            goods->item(row, column)->setText(texts[column - 1]);
        goods->item(row, kQuantityColumn)
            ->setBackground(used ? QBrush(QColor(255, 255, 187)) : QBrush(Qt::NoBrush));
    }
}

void OrderPlacingWindow::quantityEdited(int row, int column)
{
    if (column != kQuantityColumn)
        return;
    if (row >= m_lines.size()) {
        const QSignalBlocker blocker(m_ui->高级表格1);
        m_ui->高级表格1->item(row, column)->setText(QString());
        return;
    }
    bool ok = false;
    const long long quantity = m_ui->高级表格1->item(row, column)->text().trimmed().toLongLong(&ok);
    m_lines[row].quantity = ok && quantity > 0 ? quantity : 0;
    rebuildGoodsGrid();
    updateFreight();
}

int OrderPlacingWindow::regionIndex(const QString &address)
{
    const QStringList &regions = appState().regions;
    for (int i = 0; i < regions.size(); ++i) {
        if (address.contains(regions[i]))
            return i + 1;
    }
    return 0;
}

void OrderPlacingWindow::updateFreight()
{
    const QString address = trimSpaces(m_ui->编辑框_收货地址->text());
    if (address.isEmpty()) {
        showTotals(QStringLiteral("0"), 0);
        return;
    }
    const PlacingTotals sum = totals();
    if (m_supplier > 0 && sum.count > 0)
        send<protocol::Request::OrderFreight>(m_supplier, trimmed(sum.weightG, 3), sum.count,
                                              regionIndex(address));
}

void OrderPlacingWindow::showFreight(const QString &freight)
{
    // A freight that is no amount is still shown, but adds nothing.
    showTotals(freight, scaledOrZero(freight, 2));
}

void OrderPlacingWindow::showTotals(const QString &freight, long long freightFen)
{
    const PlacingTotals sum = totals();
    const QStringList texts = {QString::number(sum.count), trimmed(sum.weightG, 3), fixed(sum.goodsFen, 2),
                               freight, fixed(sum.goodsFen + freightFen, 2)};
    for (int column = 1; column < 6; ++column)
        m_ui->高级表格2->item(0, column)->setText(texts[column - 1]);
}

bool OrderPlacingWindow::supplierPanelOpen() const
{
    return m_ui->外形框6->height() == kPanelOpen || m_ui->外形框6->maximumHeight() == kPanelOpen;
}

void OrderPlacingWindow::toggleSupplierPanel()
{
    QFrame *panel = m_ui->外形框6;
    const bool open = !supplierPanelOpen();
    panel->setFixedHeight(open ? kPanelOpen : kPanelClosed);
    panel->setStyleSheet(open ? QStringLiteral("#外形框6 { background: rgb(227, 230, 236); }")
                              : QStringLiteral("#外形框6 { background: rgb(255, 255, 255); }"));
    m_ui->框_供应商面板->setVisible(open);
    m_ui->超级按钮_订单管理_供应商采购商列表_搜索->setArrowType(open ? Qt::UpArrow : Qt::DownArrow);
    if (open)
        searchSuppliers();
}

void OrderPlacingWindow::searchSuppliers()
{
    const QString keyword = m_ui->编辑框_供应商_搜索->text();
    if (!screenTyped({keyword}, this))
        return;
    send<protocol::Request::OrderSuppliers>(keywordValue(keyword));
}

void OrderPlacingWindow::fillSuppliers(std::string_view gbkText)
{
    const QSignalBlocker blocker(m_ui->超级列表框_供应商列表);
    fillList(m_ui->超级列表框_供应商列表, gbkText);
    stretchColumns(m_ui->超级列表框_供应商列表);
}

void OrderPlacingWindow::pickSupplier(QTreeWidgetItem *row)
{
    if (!row)
        return;
    m_supplier = row->text(0).toInt();
    m_ui->透明标签_订单管理_供应商采购商列表->setText(row->text(1));
    if (supplierPanelOpen())
        toggleSupplierPanel();
    m_lines.clear();
    m_pendingPaste.clear();
    resetGrids();
}

void OrderPlacingWindow::chooseGoods()
{
    if (m_supplier <= 0) {
        inform(this, QStringLiteral("请先选择供应商!"), windowTitle());
        return;
    }
    if (auto *open = WindowRegistry::get(WindowId::GoodsChoosing)) {
        open->raise();
        return;
    }
    auto *chooser = new GoodsChooserWindow(this);
    chooser->show();
}

void OrderPlacingWindow::pasteLines()
{
    pasteText(QGuiApplication::clipboard()->text());
}

void OrderPlacingWindow::pasteText(const QString &text)
{
    if (m_supplier <= 0) {
        inform(this, QStringLiteral("请先选择供应商!"), windowTitle());
        return;
    }
    QVector<PastedRow> rows;
    QStringList badRows;
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed().isEmpty())
            continue;
        const QStringList cells =
            lines[i].split(lines[i].contains(QLatin1Char('\t')) ? QStringLiteral("\t") : QStringLiteral(","));
        const QString code = cells.value(0).trimmed();
        bool ok = false;
        const long long quantity = cells.value(1).trimmed().toLongLong(&ok);
        if (!ok && rows.isEmpty() && badRows.isEmpty() &&
            !cells.value(1).contains(QRegularExpression(QStringLiteral("[0-9]"))))
            continue; // a header row copied along with the figures
        if (code.isEmpty() || !ok || quantity <= 0 || quantity > 999999)
            badRows.append(QString::number(i + 1));
        else
            rows.append({code, quantity});
    }
    if (!badRows.isEmpty()) {
        inform(this,
               QStringLiteral("第%1行不是\"商品编码, 数量\"(数量为正整数),未粘贴任何商品。")
                   .arg(badRows.join(QStringLiteral("、"))),
               windowTitle());
        return;
    }
    if (rows.isEmpty()) {
        inform(this, QStringLiteral("剪贴板中没有商品编码和数量。"), windowTitle());
        return;
    }
    m_pendingPaste = rows;
    // The codes are looked up among everything this purchaser may order from the supplier.
    send<protocol::Request::OrderGoodsList>(m_supplier, 0, QString());
}

bool OrderPlacingWindow::completePaste(std::string_view gbkText)
{
    if (m_pendingPaste.isEmpty())
        return false;
    const QVector<PastedRow> rows = std::exchange(m_pendingPaste, {});
    const protocol::ListReply list = protocol::parseListReply(gbkText);
    auto column = [&](const char *caption) {
        for (std::size_t i = 0; i < list.columns.size(); ++i) {
            if (fromGbk(list.columns[i].caption) == QString::fromUtf8(caption))
                return int(i);
        }
        return -1;
    };
    const int id = column("商品ID"), name = column("名称"), code = column("编码"), spec = column("规格"),
              unit = column("单位"), price = column("单价"), weight = column("重量"), stock = column("库存");
    auto at = [](const std::vector<std::string> &row, int index) {
        return index >= 0 && std::size_t(index) < row.size() ? fromGbk(row[std::size_t(index)]) : QString();
    };

    QVector<PlacingLine> merged = m_lines;
    QStringList unknown;
    for (const PastedRow &pasted : rows) {
        const auto found = std::find_if(list.rows.begin(), list.rows.end(), [&](const auto &row) {
            return at(row, code).trimmed() == pasted.code;
        });
        if (found == list.rows.end()) {
            unknown.append(pasted.code);
            continue;
        }
        PlacingLine line{at(*found, id),
                         at(*found, name),
                         at(*found, code),
                         at(*found, spec),
                         at(*found, unit),
                         at(*found, price),
                         0,
                         0,
                         0,
                         pasted.quantity};
        line.priceFen = scaledOrZero(line.price, 2);
        line.weightG = scaledOrZero(at(*found, weight), 3);
        line.stock = at(*found, stock).toLongLong();
        const auto existing = std::find_if(merged.begin(), merged.end(), [&](const PlacingLine &held) {
            return held.goodsId == line.goodsId;
        });
        if (existing != merged.end())
            existing->quantity = pasted.quantity;
        else
            merged.append(line);
    }
    if (!unknown.isEmpty()) {
        inform(this,
               QStringLiteral("以下商品编码不存在、未授权或已下架,未粘贴任何商品:\n") +
                   unknown.join(QStringLiteral("\n")),
               windowTitle());
        return true;
    }
    if (merged.size() > kMaxOrderLines) {
        inform(this, QStringLiteral("商品数量不能超过50个。"), windowTitle());
        return true;
    }
    m_lines = merged;
    rebuildGoodsGrid();
    updateFreight();
    return true;
}

bool OrderPlacingWindow::hasUnsavedInput() const
{
    return !m_lines.isEmpty() || !trimSpaces(m_ui->编辑框_收货地址->text()).isEmpty() ||
           !trimSpaces(m_ui->编辑框_给供应商留言->text()).isEmpty();
}

void OrderPlacingWindow::setSubmitLocked(bool locked)
{
    m_ui->超级按钮_订单管理_下单->setEnabled(!locked);
}

void OrderPlacingWindow::submit()
{
    // A second click or a held Enter while the order is on its way places nothing.
    if (!m_ui->超级按钮_订单管理_下单->isEnabled())
        return;
    if (m_supplier <= 0) {
        inform(this, QStringLiteral("请先选择供应商!"), windowTitle());
        return;
    }
    if (m_lines.isEmpty()) {
        inform(this, QStringLiteral("请先选择商品！"), windowTitle());
        return;
    }
    for (int row = 0; row < m_lines.size(); ++row) {
        if (m_lines[row].quantity <= 0) {
            m_ui->高级表格1->setCurrentCell(row, kQuantityColumn);
            m_ui->高级表格1->setFocus();
            inform(this, QStringLiteral("请填写数量!"), windowTitle());
            return;
        }
    }
    const QString address = trimSpaces(m_ui->编辑框_收货地址->text());
    if (address.isEmpty() && !askYesNo(this, QStringLiteral("收货地址未填写,是否继续?"), windowTitle()))
        return;

    std::string records;
    for (const PlacingLine &line : m_lines)
        records += record<protocol::Request::PlaceOrder>(line.goodsId, line.quantity) + "\r\n";
    const QString scrambledAddress = QString::fromStdString(protocol::scramble(toGbkString(address)));
    const QString scrambledMessage =
        QString::fromStdString(protocol::scramble(toGbkString(m_ui->编辑框_给供应商留言->text())));
    setSubmitLocked(true);
    if (!sendWithRecords<protocol::Request::PlaceOrder>(records, m_supplier, scrambledAddress,
                                                        scrambledMessage))
        setSubmitLocked(false);
}

bool OrderPlacingWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->透明标签_订单管理_供应商采购商列表 && event->type() == QEvent::MouseButtonRelease) {
        toggleSupplierPanel();
        return true;
    }
    if (watched == m_ui->高级表格1 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->matches(QKeySequence::Paste)) {
        pasteLines();
        return true;
    }
    return FramedWindow::eventFilter(watched, event);
}

} // namespace vantrell::client
