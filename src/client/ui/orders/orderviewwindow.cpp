#include "client/ui/orders/orderviewwindow.h"

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/text.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/request.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/common/clickguard.h"
#include "client/ui/common/inputrules.h"
#include "client/ui/common/keyboard.h"
#include "client/ui/common/listfiller.h"
#include "client/ui/common/pagedlist.h"
#include "client/ui/orders/orderhooks.h"
#include "client/ui/orders/orderpage.h"
#include "protocol/decimal.h"
#include "protocol/fieldtext.h"
#include "protocol/gbk.h"
#include "ui_orderviewwindow.h"

#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTableWidget>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>

#include <optional>
#include <tuple>

namespace vantrell::client {

namespace {

// Line rows of the goods grid: as many as an order may hold, so none is cut off.
constexpr int kGoodsRows = 50;
constexpr int kFreightRow = 1;
constexpr int kFreightColumn = 4;
constexpr int kTotalColumn = 5;

const QColor kFreightEditable(255, 255, 187);

QFont gridFont()
{
    QFont font(QStringLiteral("微软雅黑"));
    font.setPixelSize(13);
    return font;
}

QTableWidgetItem *gridItem(const QString &text, bool editable = false)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    item->setFlags(editable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                            : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

void setCell(QTableWidget *grid, int row, int column, const QString &text)
{
    if (QTableWidgetItem *item = grid->item(row, column))
        item->setText(text);
    else
        grid->setItem(row, column, gridItem(text));
}

std::optional<long long> fen(const QString &text)
{
    return protocol::parseScaled(trimSpaces(text).toStdString(), 2);
}

// The freight cell takes only money: digits with at most two decimals. Anything else
// typed is kept out of the cell, so the total is never computed from bad text.
class FreightDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        auto *editor = new QLineEdit(parent);
        editor->setObjectName(QStringLiteral("编辑框_运费"));
        editor->setAlignment(Qt::AlignCenter);
        editor->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("^[0-9]{0,9}(\\.[0-9]{0,2})?$")), editor));
        return editor;
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        const QString typed = trimSpaces(static_cast<QLineEdit *>(editor)->text());
        if (typed.isEmpty()) {
            model->setData(index, QString());
            return;
        }
        if (const auto value = fen(typed))
            model->setData(index, QString::fromStdString(protocol::formatFixed(*value, 2)));
    }
};

QString stateCaption(const QString &state)
{
    if (state == QStringLiteral("1"))
        return QStringLiteral("已发货");
    if (state == QStringLiteral("2"))
        return QStringLiteral("取消中");
    if (state == QStringLiteral("3"))
        return QStringLiteral("已关闭");
    return QStringLiteral("发货");
}

// A tool tip with markup characters of another merchant's text shown as they are.
QString plainTip(const QString &text)
{
    QString html = text.toHtmlEscaped();
    html.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"));
    return QStringLiteral("<p style='white-space:pre'>") + html + QStringLiteral("</p>");
}

} // namespace

OrderViewWindow::OrderViewWindow(QWidget *mainWindow)
    : FramedWindow(mainWindow), m_ui(new Ui::OrderViewWindow), m_orderId(viewedOrderId())
{
    m_ui->setupUi(this);
    adoptCloseButton(m_ui->图形按钮_关闭1);
    setWindowModality(Qt::ApplicationModal);
    WindowRegistry::set(WindowId::OrderViewing, this);

    // The number of the order in the main list, so that a page of another order (a late
    // reply to an earlier window) is recognised.
    if (auto *main = WindowRegistry::as<MainWindow>(WindowId::Main)) {
        const QTreeWidget *list = main->orderPage()->list();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *row = list->topLevelItem(i);
            if (row->text(0) == m_orderId) {
                m_orderNumber = cellByTitle(list, QStringLiteral("订单号"), row);
                break;
            }
        }
    }

    QTableWidget *goods = m_ui->高级表格1;
    goods->setFont(gridFont());
    goods->setRowCount(kGoodsRows + 1);
    goods->setColumnCount(8);
    goods->setEditTriggers(QAbstractItemView::NoEditTriggers);
    goods->setTabKeyNavigation(false); // the arrow keys move between cells, Tab goes on
    const QStringList goodsTitles{QStringLiteral("序号"), QStringLiteral("名称"), QStringLiteral("编码"),
                                  QStringLiteral("规格"), QStringLiteral("单位"), QStringLiteral("单价"),
                                  QStringLiteral("数量"), QStringLiteral("金额")};
    const int goodsWidths[8] = {45, 180, 95, 95, 55, 80, 65, 95};
    for (int column = 0; column < 8; ++column) {
        goods->setColumnWidth(column, goodsWidths[column]);
        QTableWidgetItem *title = gridItem(goodsTitles.at(column));
        title->setBackground(QColor(0xf1, 0xf5, 0xf9));
        goods->setItem(0, column, title);
    }
    goods->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    for (int row = 1; row <= kGoodsRows; ++row) {
        goods->setItem(row, 0, gridItem(QString::number(row)));
        for (int column = 1; column < 8; ++column)
            goods->setItem(row, column, gridItem(QString()));
    }
    goods->verticalHeader()->setDefaultSectionSize(28);

    QTableWidget *totals = m_ui->高级表格2;
    totals->setFont(gridFont());
    totals->setRowCount(2);
    totals->setColumnCount(6);
    totals->setEditTriggers(QAbstractItemView::AllEditTriggers);
    totals->setItemDelegate(new FreightDelegate(totals));
    totals->setTabKeyNavigation(false);
    totals->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    totals->verticalHeader()->setDefaultSectionSize(30);
    const QStringList totalTitles{QString(),
                                  QStringLiteral("件数"),
                                  QStringLiteral("重量"),
                                  QStringLiteral("商品金额"),
                                  QStringLiteral("运费"),
                                  QStringLiteral("总金额")};
    for (int column = 0; column < 6; ++column) {
        QTableWidgetItem *title = gridItem(totalTitles.at(column));
        title->setBackground(QColor(0xf1, 0xf5, 0xf9));
        totals->setItem(0, column, title);
        totals->setItem(1, column, gridItem(column == 0 ? QStringLiteral("合计") : QString()));
    }
    totals->item(kFreightRow, kFreightColumn)
        ->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    totals->item(kFreightRow, kFreightColumn)->setBackground(kFreightEditable);
    connect(totals, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (item->row() == kFreightRow && item->column() == kFreightColumn)
            freightEdited();
    });

    m_ui->高级选择夹1->tabBar()->hide();
    // Its pages are chosen by the order's state, never by the user; with its bar hidden
    // it would only swallow Tab.
    m_ui->高级选择夹1->setFocusPolicy(Qt::NoFocus);
    m_ui->组合框2->lineEdit()->setPlaceholderText(QStringLiteral("请填写物流名称..."));
    m_ui->组合框3->lineEdit()->setPlaceholderText(QStringLiteral("请填写物流单号..."));
    m_ui->超级按钮_复制单号->hide();
    connect(m_ui->组合框1, &QComboBox::currentIndexChanged, this, &OrderViewWindow::methodChanged);

    connect(m_ui->超级按钮_订单管理_下单发货, &QPushButton::clicked, this, &OrderViewWindow::ship);
    connect(m_ui->超级按钮_订单管理_取消订单, &QPushButton::clicked, this, &OrderViewWindow::cancelOrder);
    connect(m_ui->超级按钮_订单管理_同意关闭, &QPushButton::clicked, this, [this] { resolveCancel(true); });
    connect(m_ui->超级按钮_订单管理_取消关闭, &QPushButton::clicked, this, [this] { resolveCancel(false); });
    connect(m_ui->超级按钮_复制单号, &QPushButton::clicked, this, [this] {
        QGuiApplication::clipboard()->setText(m_ui->组合框3->currentText());
        showBalloon(QStringLiteral("物流单号已复制到剪辑版！"));
    });
    connect(m_ui->超级按钮_复制单号1, &QPushButton::clicked, this, [this] {
        showBalloon(QStringLiteral("物流名称：") + m_ui->组合框2->currentText() +
                    QStringLiteral("\r\n物流单号：") + m_ui->组合框3->currentText());
    });
    connect(m_ui->超级按钮2, &QPushButton::clicked, this, [this] {
        QGuiApplication::clipboard()->setText(m_order.address);
        showBalloon(QStringLiteral("收货地址已复制到剪辑版！"));
    });
    connect(m_ui->超级按钮1, &QPushButton::clicked, this, [this] {
        QGuiApplication::clipboard()->setText(m_order.message);
        showBalloon(QStringLiteral("商家留言已复制到剪辑版！"));
    });

    QToolButton *printButton = m_ui->图形按钮_打印;
    printButton->setStyleSheet(QStringLiteral("QToolButton { color: white; padding: 0 10px; }"));
    auto *printMenu = new QMenu(printButton);
    printMenu->setObjectName(QStringLiteral("打印菜单"));
    printMenu->addAction(QStringLiteral("打印预览..."), this, &OrderViewWindow::preview);
    printMenu->addAction(QStringLiteral("另存为PDF..."), this, &OrderViewWindow::saveAsPdf);
    printButton->setMenu(printMenu);
    connect(printButton, &QToolButton::clicked, this, &OrderViewWindow::print);
    printButton->setVisible(appState().isSupplier());
    const QKeySequence printKeys(Qt::CTRL | Qt::Key_P);
    printButton->setToolTip(withKeys(QStringLiteral("打印发货单"), printKeys));
    connect(new QShortcut(printKeys, this), &QShortcut::activated, this, [this] {
        if (m_ui->图形按钮_打印->isVisible())
            print();
    });

    centreOnOwner();
    send<protocol::Request::OrderPage>(m_orderId);
}

OrderViewWindow::~OrderViewWindow()
{
    if (WindowRegistry::get(WindowId::OrderViewing) == this)
        WindowRegistry::set(WindowId::OrderViewing, nullptr);
}

void OrderViewWindow::fillPage(const Reply &reply)
{
    OrderPageData page = OrderPageData::fromReply(reply.fullText);
    if (!m_orderNumber.isEmpty() && page.orderNumber != m_orderNumber)
        return;
    m_orderNumber = page.orderNumber;
    m_order = std::move(page);

    QPushButton *action = m_ui->超级按钮_订单管理_下单发货;
    action->setText(QStringLiteral("发货"));
    action->setStyleSheet(QString());
    m_ui->透明标签_订单发货_订单号->setText(m_order.orderNumber);
    m_ui->透明标签_订单发货_商家名称->setText(m_order.merchant);
    m_ui->透明标签_订单发货_下单日期->setText(m_order.date);
    m_ui->编辑框_收货地址->setText(m_order.address);
    m_ui->编辑框_收货地址->setCursorPosition(0);
    m_ui->编辑框_商家留言->setText(m_order.message);
    m_ui->编辑框_商家留言->setCursorPosition(0);

    // Every figure is written each time, blanks included, so nothing of an earlier page
    // stays behind.
    {
        QTableWidget *totals = m_ui->高级表格2;
        const QSignalBlocker blocker(totals);
        setCell(totals, 1, 1, m_order.pieces);
        setCell(totals, 1, 2, m_order.weight.isEmpty() ? QString() : m_order.weight + QStringLiteral("KG"));
        setCell(totals, 1, 3, m_order.goodsAmount);
        setCell(totals, 1, kFreightColumn, m_order.freight);
        setCell(totals, 1, kTotalColumn, m_order.total);
    }
    {
        QTableWidget *goods = m_ui->高级表格1;
        const QSignalBlocker blocker(goods);
        for (int row = 1; row <= kGoodsRows; ++row) {
            const PageLine line = row <= m_order.lines.size() ? m_order.lines.at(row - 1) : PageLine{};
            const QString texts[7] = {line.name,  line.code,     line.spec,  line.unit,
                                      line.price, line.quantity, line.amount};
            for (int column = 1; column < 8; ++column)
                setCell(goods, row, column, texts[column - 1]);
        }
    }

    if (m_order.hasLines) {
        m_note = buildShippingNote(m_order, shippingNoteTitle(appState().profileCompany));
        applyStateRules();
        ++m_carriersAsked;
        send<protocol::Request::Carriers>(m_orderId);
    } else {
        m_note.reset();
    }
    if (m_refreshListOnPage) {
        m_refreshListOnPage = false;
        refreshMainList();
    }
}

void OrderViewWindow::applyStateRules()
{
    m_ui->超级按钮_复制单号->hide();
    const QString state = m_order.state;
    const bool supplier = appState().isSupplier();
    m_shippingEditable = supplier && state == QStringLiteral("0");

    QTableWidgetItem *freight = m_ui->高级表格2->item(kFreightRow, kFreightColumn);
    {
        const QSignalBlocker blocker(m_ui->高级表格2);
        freight->setFlags(m_shippingEditable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                                             : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        freight->setBackground(m_shippingEditable ? kFreightEditable : QColor(Qt::white));
    }
    m_ui->组合框1->setEnabled(m_shippingEditable);
    const bool express = m_ui->组合框1->currentIndex() == 0;
    m_ui->组合框2->setEnabled(m_shippingEditable && express);
    m_ui->组合框3->setEnabled(m_shippingEditable && express);

    QTabWidget *pages = m_ui->高级选择夹1;
    if (state == QStringLiteral("0")) {
        pages->setCurrentIndex(supplier ? 0 : 1);
        return;
    }
    pages->setCurrentIndex(supplier && state == QStringLiteral("2") ? 2 : 0);
    {
        const QSignalBlocker blocker(m_ui->组合框1);
        const int method = leadingInt(m_order.shipMethod) - 1;
        if (method >= 0 && method < m_ui->组合框1->count())
            m_ui->组合框1->setCurrentIndex(method);
    }
    QPushButton *action = m_ui->超级按钮_订单管理_下单发货;
    action->setText(stateCaption(state));
    if (state == QStringLiteral("1")) {
        action->setStyleSheet(QStringLiteral("color: rgb(0, 128, 0);"));
        m_ui->超级按钮_复制单号->show();
    } else if (state == QStringLiteral("2") || state == QStringLiteral("3")) {
        action->setStyleSheet(QStringLiteral("color: rgb(128, 128, 128);"));
    }
}

void OrderViewWindow::fillCarriers(const Reply &reply)
{
    if (m_carriersAsked == 0)
        return;
    --m_carriersAsked;
    const std::string &text = reply.fullText;
    const std::string &marker = protocol::gbk(protocol::kListMarker);
    const QSignalBlocker nameBlocker(m_ui->组合框2);
    const QSignalBlocker numberBlocker(m_ui->组合框3);
    if (text.find(marker) != std::string::npos) {
        m_ui->组合框2->clear();
        for (std::string_view record : protocol::splitRecords(text, marker))
            m_ui->组合框2->addItem(fromGbk(protocol::valueOf(record, protocol::gbk("物流名称"))));
    }
    // The server's "请填写..." default is what the placeholder already says.
    const auto shown = [](const QString &value) {
        return value.contains(QStringLiteral("请填写")) ? QString() : value;
    };
    m_ui->组合框2->setEditText(shown(reply.value(QStringLiteral("默认物流名称"))));
    m_ui->组合框3->setEditText(shown(reply.value(QStringLiteral("默认物流单号"))));
}

void OrderViewWindow::orderCancelled()
{
    m_refreshListOnPage = true;
    send<protocol::Request::OrderPage>(m_orderId);
}

void OrderViewWindow::methodChanged(int index)
{
    if (!m_shippingEditable)
        return;
    m_ui->组合框2->setEnabled(index == 0);
    m_ui->组合框3->setEnabled(index == 0);
}

void OrderViewWindow::freightEdited()
{
    QTableWidget *totals = m_ui->高级表格2;
    const auto goods = fen(totals->item(kFreightRow, 3)->text());
    const auto freight = fen(totals->item(kFreightRow, kFreightColumn)->text());
    const QSignalBlocker blocker(totals);
    setCell(totals, kFreightRow, kTotalColumn,
            goods && freight ? QString::fromStdString(protocol::formatFixed(*goods + *freight, 2))
                             : QString());
}

void OrderViewWindow::ship()
{
    QPushButton *action = m_ui->超级按钮_订单管理_下单发货;
    const QString caption = action->text();
    const QString title = windowTitle();
    if (caption == QStringLiteral("已发货")) {
        inform(this, QStringLiteral("订单已发货!"), title);
        return;
    }
    if (caption == QStringLiteral("取消中")) {
        inform(this, QStringLiteral("订单取消中,请联系供应商处理!"), title);
        return;
    }
    if (caption == QStringLiteral("已关闭")) {
        inform(this, QStringLiteral("订单已关闭!"), title);
        return;
    }
    const QString freightText = trimSpaces(m_ui->高级表格2->item(kFreightRow, kFreightColumn)->text());
    if (freightText.isEmpty()) {
        inform(this, QStringLiteral("请填写运费!"), title);
        return;
    }
    if (caption != QStringLiteral("发货"))
        return;
    const int method = m_ui->组合框1->currentIndex();
    const QString name = trimSpaces(m_ui->组合框2->currentText());
    const QString number = trimSpaces(m_ui->组合框3->currentText());
    if (method == 0) {
        for (auto [box, text, message] :
             {std::tuple{m_ui->组合框2, name, QStringLiteral("请填写物流名称!")},
              std::tuple{m_ui->组合框3, number, QStringLiteral("请填写物流单号!")}}) {
            if (text.isEmpty() || text.contains(QStringLiteral("请填写"))) {
                inform(this, message, title);
                box->setFocus();
                box->lineEdit()->end(false);
                return;
            }
        }
    }
    const auto freight = fen(freightText);
    if (!freight) {
        inform(this, QStringLiteral("运费格式不正确,请填写金额(最多两位小数)!"), title);
        return;
    }
    if (!askYesNo(this,
                  QStringLiteral("订单号[") + m_ui->透明标签_订单发货_订单号->text() +
                      QStringLiteral("]是否发货?"),
                  title))
        return;
    const QString freightValue = QString::fromStdString(protocol::formatFixed(*freight, 2));
    if (!screenTyped({freightValue, name, number}, this))
        return;
    m_refreshListOnPage = true;
    send<protocol::Request::ShipOrder>(m_orderId, freightValue, method + 1, name, number);
    clickGuard({action});
}

void OrderViewWindow::cancelOrder()
{
    if (leadingInt(m_orderId) <= 0) {
        inform(this, QStringLiteral("请选择一个订单!"), QStringLiteral("信息："));
        return;
    }
    if (!askYesNo(this,
                  QStringLiteral(
                      "是否取消该订单?\r\n\r\n(提示：未发货订单取消后自动关闭,已发货订单需要供应商同意关闭)"),
                  QStringLiteral("取消订单")))
        return;
    send<protocol::Request::CancelOrder>(m_orderId);
    clickGuard({m_ui->超级按钮_订单管理_取消订单});
}

void OrderViewWindow::resolveCancel(bool agree)
{
    if (leadingInt(m_orderId) <= 0)
        return;
    if (!askYesNo(this, agree ? QStringLiteral("同意取消订单?") : QStringLiteral("不同意取消订单?"),
                  QStringLiteral("查看订单")))
        return;
    m_refreshListOnPage = true;
    send<protocol::Request::ResolveCancel>(m_orderId, agree ? 1 : 2);
    clickGuard({agree ? m_ui->超级按钮_订单管理_同意关闭 : m_ui->超级按钮_订单管理_取消关闭});
}

void OrderViewWindow::print()
{
    if (m_note)
        printShippingNoteWithDialog(*m_note, this);
}

void OrderViewWindow::preview()
{
    if (m_note)
        previewShippingNote(*m_note, this);
}

void OrderViewWindow::saveAsPdf()
{
    if (!m_note)
        return;
    const QString suggested =
        QDir::home().filePath(QStringLiteral("发货单-") + m_order.orderNumber + QStringLiteral(".pdf"));
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("另存为PDF"), suggested,
                                                      QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    if (!saveShippingNotePdf(*m_note, path))
        inform(this, QStringLiteral("发货单保存失败,请检查文件位置!"), windowTitle());
}

void OrderViewWindow::showBalloon(const QString &text)
{
    m_lastTip = text;
    QToolTip::showText(QCursor::pos(), plainTip(text), this, QRect(), 2500);
}

void OrderViewWindow::refreshMainList()
{
    if (auto *main = WindowRegistry::as<MainWindow>(WindowId::Main)) {
        OrderPage *page = main->orderPage();
        page->refresh(page->pager()->pageText());
    }
}

} // namespace vantrell::client
