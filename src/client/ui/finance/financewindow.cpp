#include "client/ui/finance/financewindow.h"

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/text.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/request.h"
#include "client/ui/common/clickguard.h"
#include "client/ui/common/inputrules.h"
#include "client/ui/common/keyboard.h"
#include "client/ui/common/keywordbox.h"
#include "client/ui/common/listfiller.h"
#include "client/ui/common/pagedlist.h"
#include "client/ui/common/spreadsheet.h"
#include "client/ui/common/stalerows.h"
#include "client/ui/common/stateicons.h"
#include "client/ui/finance/statementcreation.h"
#include "client/ui/orders/orderhooks.h"
#include "protocol/fieldtext.h"
#include "protocol/listreply.h"
#include "ui_financewindow.h"

#include <QFileDialog>
#include <QMenu>
#include <QTimer>
#include <QToolTip>

namespace vantrell::client {

namespace {

const QString kReconcile = QStringLiteral("确认对账");
const QString kSettle = QStringLiteral("确认结算");
const QString kCreateHint = QStringLiteral("创建对账单点击这里!");
const QStringList kStatementStates = {QStringLiteral("待对账"), QStringLiteral("已对账"),
                                      QStringLiteral("已结算")};

QString rowCell(const QTreeWidget *list, const QString &title)
{
    const QList<QTreeWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? QString() : cellByTitle(list, title, selected.first());
}

} // namespace

FinanceWindow::FinanceWindow(QWidget *mainWindow, const QString &partnerId)
    : FramedWindow(mainWindow), m_ui(new Ui::FinanceWindow), m_partnerId(partnerId)
{
    m_ui->setupUi(this);
    adoptCloseButton(m_ui->图形按钮_关闭);
    setWindowModality(Qt::ApplicationModal);
    WindowRegistry::set(WindowId::FinanceReconciliation, this);

    // The tiles are buttons; their labels must not take the clicks.
    for (QLabel *label : m_ui->超级按钮_财务对账_全部记录->findChildren<QLabel *>() +
                             m_ui->超级按钮_财务对账_已结算->findChildren<QLabel *>() +
                             m_ui->超级按钮_财务对账_未结算->findChildren<QLabel *>())
        label->setAttribute(Qt::WA_TransparentForMouseEvents);

    setKeywordPlaceholder(m_ui->编辑框_财务对账_搜索);
    setKeywordPlaceholder(m_ui->编辑框_结算明细);
    makeReportList(m_ui->超级列表框1);
    makeReportList(m_ui->超级列表框2);
    setDesignColumns(m_ui->超级列表框1, {{QStringLiteral("ID"), 0},
                                         {QStringLiteral("账单状态"), 80},
                                         {QStringLiteral("对账单号"), 130},
                                         {QStringLiteral("起始日期"), 90},
                                         {QStringLiteral("结束日期"), 90},
                                         {QStringLiteral("商品金额"), 90},
                                         {QStringLiteral("运费金额"), 80},
                                         {QStringLiteral("结算总金额"), 100}});
    setDesignColumns(m_ui->超级列表框2, {{QStringLiteral("ID"), 0},
                                         {QStringLiteral("订单状态"), 80},
                                         {QStringLiteral("商家名称"), 150},
                                         {QStringLiteral("商品件数"), 70},
                                         {QStringLiteral("商品金额"), 90},
                                         {QStringLiteral("运费金额"), 80},
                                         {QStringLiteral("结算总金额"), 100}});
    m_statements = new PagedList(m_ui->超级列表框1, m_ui->标签_财务对账_共, m_ui->编辑框_财务对账_页,
                                 m_ui->按钮_财务对账_上一页, m_ui->按钮_财务对账_下一页,
                                 [this](const QString &page) { refreshStatements(page); });
    m_details = new PagedList(m_ui->超级列表框2, m_ui->标签_结算明细_共, m_ui->编辑框_结算明细_页,
                              m_ui->按钮_结算明细_上一页, m_ui->按钮_结算明细_下一页,
                              [this](const QString &page) { queryDetails(page); });
    m_statements->addExportButton();
    m_details->addExportButton();

    const bool supplier = appState().isSupplier();
    m_ui->超级按钮_对账或结算->setText(supplier ? kSettle : kReconcile);
    m_ui->超级按钮_结算->setVisible(supplier);
    if (supplier)
        m_ui->超级按钮_结算->setToolTip(kCreateHint);

    auto searchStatements = [this] {
        refreshStatements(QStringLiteral("1"));
        clickGuard({m_ui->超级按钮_财务对账_搜索});
    };
    connect(m_ui->超级按钮_财务对账_搜索, &QPushButton::clicked, this, searchStatements);
    connect(m_ui->编辑框_财务对账_搜索, &QLineEdit::returnPressed, this, searchStatements);
    auto searchDetails = [this] {
        queryDetails(QStringLiteral("1"));
        clickGuard({m_ui->超级按钮_结算明细_搜索});
    };
    connect(m_ui->超级按钮_结算明细_搜索, &QPushButton::clicked, this, searchDetails);
    connect(m_ui->编辑框_结算明细, &QLineEdit::returnPressed, this, searchDetails);

    connect(m_ui->超级按钮_财务对账_全部记录, &QPushButton::clicked, this, [this] {
        m_queryType = 0;
        send<protocol::Request::StatementList>(m_partnerId, QString(), m_queryType, QStringLiteral("1"));
        clickGuard({m_ui->超级按钮_财务对账_全部记录});
    });
    connect(m_ui->超级按钮_财务对账_已结算, &QPushButton::clicked, this, [this] { tileDetails(1); });
    connect(m_ui->超级按钮_财务对账_未结算, &QPushButton::clicked, this, [this] { tileDetails(2); });
    connect(m_ui->超级按钮_返回, &QPushButton::clicked, this, [this] {
        m_queryType = 0;
        refreshStatements(m_statements->pageText());
        clickGuard({m_ui->超级按钮_返回});
    });
    connect(m_ui->超级按钮_对账或结算, &QPushButton::clicked, this,
            [this] { confirmSelected(actionCaption() == kReconcile ? 1 : 2); });
    connect(m_ui->超级按钮_结算, &QPushButton::clicked, this, &FinanceWindow::openStatementCreation);
    connect(m_ui->按钮_导出, &QPushButton::clicked, this, &FinanceWindow::chooseExportPath);

    // Old rows grey while another query of their list is on its way: each tab's search and
    // pager, the tiles and 返回 for the statements, another statement's details.
    for (QLineEdit *box : {m_ui->编辑框_财务对账_搜索, m_ui->编辑框_结算明细})
        box->setProperty("role", QStringLiteral("search"));
    enterOpensRows(m_ui->超级列表框1);
    enterOpensRows(m_ui->超级列表框2);
    greyRowsOnNewQuery(m_ui->页_结算记录, m_ui->超级列表框1);
    greyRowsOnNewQuery(m_ui->页_结算明细, m_ui->超级列表框2);
    for (QPushButton *button : {m_ui->超级按钮_财务对账_全部记录, m_ui->超级按钮_返回})
        connect(button, &QPushButton::clicked, this, [this] {
            if (protocol::isClean(toGbkString(m_ui->编辑框_财务对账_搜索->text())))
                greyRows(m_ui->超级列表框1);
        });
    const auto greyDetails = [this] {
        if (protocol::isClean(toGbkString(m_ui->编辑框_结算明细->text())))
            greyRows(m_ui->超级列表框2);
    };
    connect(m_ui->超级按钮_财务对账_已结算, &QPushButton::clicked, this, greyDetails);
    connect(m_ui->超级按钮_财务对账_未结算, &QPushButton::clicked, this, greyDetails);
    connect(m_ui->超级列表框1, &QTreeWidget::itemDoubleClicked, this, greyDetails);

    connect(m_ui->超级列表框1, &QTreeWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { openContextMenu(m_ui->超级列表框1->viewport()->mapToGlobal(pos)); });
    connect(m_ui->超级列表框1, &QTreeWidget::itemDoubleClicked, this, &FinanceWindow::viewSelectedDetails);
    connect(m_ui->超级列表框2, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *item) { openOrderViewer(this, item->text(0)); });

    centreOnOwner();
    send<protocol::Request::StatementList>(m_partnerId, QString(), m_queryType, QStringLiteral("1"));
}

FinanceWindow::~FinanceWindow()
{
    if (WindowRegistry::get(WindowId::FinanceReconciliation) == this)
        WindowRegistry::set(WindowId::FinanceReconciliation, nullptr);
}

QString FinanceWindow::actionCaption() const
{
    return m_ui->超级按钮_对账或结算->text();
}

void FinanceWindow::refreshStatements(const QString &page)
{
    if (!screenTyped({m_ui->编辑框_财务对账_搜索->text()}, this))
        return;
    send<protocol::Request::StatementList>(m_partnerId, keywordValue(m_ui->编辑框_财务对账_搜索->text()),
                                           m_queryType, pageParam(page));
}

void FinanceWindow::refreshStatementsInPlace()
{
    refreshStatements(m_statements->pageText());
}

void FinanceWindow::queryDetails(const QString &page)
{
    if (!screenTyped({m_ui->编辑框_结算明细->text()}, this))
        return;
    send<protocol::Request::StatementDetails>(m_partnerId, m_queryType,
                                              keywordValue(m_ui->编辑框_结算明细->text()), m_detailFrom,
                                              m_detailTo, pageParam(page));
}

void FinanceWindow::tileDetails(int queryType)
{
    m_queryType = queryType;
    if (!screenTyped({m_ui->编辑框_结算明细->text()}, this))
        return;
    send<protocol::Request::StatementDetails>(m_partnerId, m_queryType,
                                              keywordValue(m_ui->编辑框_结算明细->text()), QString(),
                                              QString(), QStringLiteral("1"));
    clickGuard({m_ui->超级按钮_财务对账_已结算, m_ui->超级按钮_财务对账_未结算});
}

void FinanceWindow::fillStatements(const Reply &reply)
{
    if (!m_statements->fill(reply.fullText))
        return; // a page of an export of the list
    m_ui->标签_公司名称->setText(QStringLiteral("公司：") + reply.value(QStringLiteral("公司")));
    m_ui->标签_联系人->setText(QStringLiteral("姓名：") + reply.value(QStringLiteral("姓名")));
    m_ui->标签_电话号码->setText(QStringLiteral("电话：") + reply.value(QStringLiteral("电话")));
    m_ui->标签_当前位置->setText(QStringLiteral("当前位置：") + reply.value(QStringLiteral("当前位置")));
    m_ui->标签_财务对账_全部记录->setText(reply.value(QStringLiteral("全部记录")) + QStringLiteral("次"));
    m_ui->标签_财务对账_已结算->setText(fenText(reply.value(QStringLiteral("对账单金额"))) +
                                        QStringLiteral("元"));
    m_ui->标签_财务对账_未结算->setText(fenText(reply.value(QStringLiteral("未结算金额"))) +
                                        QStringLiteral("元"));

    static const QList<QIcon> icons = {dotIcon(QColor(0xe4, 0x9b, 0x0f)), dotIcon(QColor(0x2f, 0x6f, 0xde)),
                                       dotIcon(QColor(0x2e, 0x9e, 0x5b))};
    setStateIcons(m_ui->超级列表框1, 1, kStatementStates, icons);
    restretchColumns(m_ui->超级列表框1);
    m_ui->高级选择夹1->setCurrentIndex(0);
}

void FinanceWindow::fillDetails(const Reply &reply)
{
    if (m_export) {
        continueExport(reply);
        return;
    }
    if (!m_details->fill(reply.fullText))
        return; // a page of an export of the list
    static const QIcon orderIcon = dotIcon(QColor(0x2f, 0x6f, 0xde));
    m_ui->标签_结算明细->setText(QStringLiteral("当前位置：") + reply.value(QStringLiteral("状态位置")));
    setColumnIcon(m_ui->超级列表框2, 1, orderIcon);
    restretchColumns(m_ui->超级列表框2);
    m_ui->高级选择夹1->setCurrentIndex(1);
}

QMenu *FinanceWindow::openContextMenu(const QPoint &globalPos)
{
    if (m_ui->超级列表框1->selectedItems().isEmpty())
        return nullptr;
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("结算订单_右键"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("查看明细"), this, &FinanceWindow::viewSelectedDetails);
    QAction *reconcile = menu->addAction(kReconcile, this, [this] {
        if (actionCaption() == kReconcile)
            confirmSelected(1);
    });
    QAction *settle = menu->addAction(kSettle, this, [this] {
        if (actionCaption() == kSettle)
            confirmSelected(2);
    });
    const bool supplier = appState().isSupplier();
    reconcile->setVisible(!supplier);
    settle->setVisible(supplier);
    menu->popup(globalPos);
    return menu;
}

void FinanceWindow::viewSelectedDetails()
{
    if (m_ui->超级列表框1->selectedItems().isEmpty())
        return;
    m_queryType = 0;
    m_detailFrom = rowCell(m_ui->超级列表框1, QStringLiteral("起始日期"));
    m_detailTo = rowCell(m_ui->超级列表框1, QStringLiteral("结束日期"));
    queryDetails(QStringLiteral("1"));
}

void FinanceWindow::confirmSelected(int operation)
{
    if (m_ui->超级列表框1->selectedItems().isEmpty()) {
        inform(this, QStringLiteral("请选中一个账单!"), windowTitle());
        return;
    }
    const QString question = QStringLiteral("对账单号:") +
                             rowCell(m_ui->超级列表框1, QStringLiteral("对账单号")) +
                             QStringLiteral("\r\n对账单确认无误,") + actionCaption() + QStringLiteral("?");
    if (!askYesNo(this, question, windowTitle()))
        return;
    send<protocol::Request::SettleStatement>(selectedCell(m_ui->超级列表框1, 0), operation);
    clickGuard({m_ui->超级按钮_对账或结算});
}

void FinanceWindow::openStatementCreation()
{
    if (!appState().isSupplier() || WindowRegistry::isLoaded(WindowId::StatementCreation))
        return;
    auto *creation = new StatementCreation(this, m_partnerId);
    creation->show();
}

bool FinanceWindow::exportStatement(const QString &path)
{
    if (m_ui->超级列表框1->selectedItems().isEmpty()) {
        inform(this, QStringLiteral("请选中一个账单!"), windowTitle());
        return false;
    }
    if (m_export)
        return false;
    const QTreeWidget *list = m_ui->超级列表框1;
    ExportJob job;
    job.path = path;
    job.from = rowCell(list, QStringLiteral("起始日期"));
    job.to = rowCell(list, QStringLiteral("结束日期"));
    job.statement = {rowCell(list, QStringLiteral("对账单号")),
                     selectedCell(list, 1),
                     job.from,
                     job.to,
                     rowCell(list, QStringLiteral("商品金额")),
                     rowCell(list, QStringLiteral("运费金额")),
                     rowCell(list, QStringLiteral("结算总金额"))};
    m_export = std::move(job);
    m_ui->按钮_导出->setEnabled(false);
    send<protocol::Request::StatementDetails>(m_partnerId, 0, QString(), m_export->from, m_export->to,
                                              QStringLiteral("1"));
    return true;
}

void FinanceWindow::chooseExportPath()
{
    if (m_ui->超级列表框1->selectedItems().isEmpty()) {
        inform(this, QStringLiteral("请选中一个账单!"), windowTitle());
        return;
    }
    const QString number = rowCell(m_ui->超级列表框1, QStringLiteral("对账单号"));
    QString filter = xlsxFilter();
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("导出对账单"), QStringLiteral("对账单_%1.xlsx").arg(number),
        xlsxFilter() + QStringLiteral(";;") + csvFilter(), &filter);
    if (!path.isEmpty())
        exportStatement(spreadsheetPath(path, filter));
}

void FinanceWindow::continueExport(const Reply &reply)
{
    const protocol::ListReply list = protocol::parseListReply(reply.fullText);
    auto column = [&list](const char *caption) -> int {
        for (std::size_t i = 0; i < list.columns.size(); ++i)
            if (fromGbk(list.columns[i].caption) == QString::fromUtf8(caption))
                return int(i);
        return -1;
    };
    const int number = column("订单号"), state = column("订单状态"), merchant = column("商家名称"),
              pieces = column("商品件数"), goods = column("商品金额"), freight = column("运费金额"),
              total = column("结算总金额");
    for (const auto &row : list.rows) {
        auto cell = [&row](int index) {
            return index < 0 || std::size_t(index) >= row.size() ? QString()
                                                                 : fromGbk(row[std::size_t(index)]);
        };
        m_export->orders.push_back({cell(number), cell(state), cell(merchant), cell(pieces), cell(goods),
                                    cell(freight), cell(total)});
    }
    const int page = leadingInt(fromGbk(list.currentPage));
    if (page >= 1 && page < leadingInt(fromGbk(list.pageCount))) {
        send<protocol::Request::StatementDetails>(m_partnerId, 0, QString(), m_export->from, m_export->to,
                                                  page + 1);
        return;
    }
    const ExportJob job = std::move(*m_export);
    m_export.reset();
    m_ui->按钮_导出->setEnabled(true);
    const bool written = writeStatementFile(job.path, job.statement, job.orders);
    if (written)
        inform(this, QStringLiteral("对账单已导出:\r\n") + job.path, windowTitle());
    else
        inform(this, QStringLiteral("导出失败,无法写入文件:\r\n") + job.path, windowTitle());
    emit exportFinished(written, job.path);
}

void FinanceWindow::resizeEvent(QResizeEvent *event)
{
    FramedWindow::resizeEvent(event);
    restretchColumns(m_ui->超级列表框1);
    restretchColumns(m_ui->超级列表框2);
}

void FinanceWindow::showEvent(QShowEvent *event)
{
    FramedWindow::showEvent(event);
    if (m_balloonShown || !appState().isSupplier())
        return;
    m_balloonShown = true;
    // After the window is placed, so that the balloon points at the create button.
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            QToolTip::showText(mapToGlobal(QPoint(740, 65)), kCreateHint, this);
    });
}

void openFinanceWindow(QWidget *owner, const QString &partnerId)
{
    if (WindowRegistry::isLoaded(WindowId::FinanceReconciliation))
        return;
    auto *window = new FinanceWindow(owner, partnerId);
    window->show();
}

} // namespace vantrell::client
