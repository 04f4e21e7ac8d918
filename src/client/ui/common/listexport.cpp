#include "client/ui/common/listexport.h"

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/text.h"
#include "client/ui/common/pagedlist.h"
#include "protocol/decimal.h"
#include "protocol/listreply.h"

#include <QAbstractButton>
#include <QDate>
#include <QFileDialog>
#include <QHeaderView>
#include <QProgressDialog>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <optional>

namespace vantrell::client {

namespace {

ListExport::PathChooser &pathChooser()
{
    static ListExport::PathChooser chooser;
    return chooser;
}

int &pageTimeout()
{
    static int milliseconds = 15000;
    return milliseconds;
}

QString askForPath(QWidget *parent, const QString &suggestedName)
{
    if (pathChooser())
        return pathChooser()(parent, suggestedName);
    QString filter = xlsxFilter();
    const QString chosen =
        QFileDialog::getSaveFileName(parent, QStringLiteral("导出列表"), suggestedName,
                                     xlsxFilter() + QStringLiteral(";;") + csvFilter(), &filter);
    return chosen.isEmpty() ? QString() : spreadsheetPath(chosen, filter);
}

// Fen of an amount as the lists show them ("12.50", "-0.05", "3"); nullopt for any
// other text, spaces included.
std::optional<long long> exactFen(const QString &text)
{
    const bool negative = text.startsWith(QLatin1Char('-'));
    const auto fen = protocol::parseScaled((negative ? text.mid(1) : text).toStdString(), 2);
    if (!fen)
        return std::nullopt;
    return negative ? -*fen : *fen;
}

enum class ColumnKind
{
    Text,
    Fen,
    Integer
};

ColumnKind kindOf(const QString &caption, const std::vector<QStringList> &rows, qsizetype column)
{
    const bool money = namesMoney(caption);
    const bool count = !money && namesCount(caption);
    if (!money && !count)
        return ColumnKind::Text;
    bool filled = false;
    for (const QStringList &row : rows) {
        const QString &text = column < row.size() ? row[column] : QString();
        if (text.isEmpty())
            continue;
        filled = true;
        if (money ? !exactFen(text) : Cell::integerOrText(text).kind != Cell::Kind::Integer)
            return ColumnKind::Text;
    }
    if (!filled)
        return ColumnKind::Text;
    return money ? ColumnKind::Fen : ColumnKind::Integer;
}

} // namespace

std::vector<ShownColumn> shownColumns(const QTreeWidget *list)
{
    std::vector<ShownColumn> columns;
    if (!list)
        return columns;
    const QHeaderView *header = list->header();
    const QTreeWidgetItem *captions = list->headerItem();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (logical < 0 || header->isSectionHidden(logical) || header->sectionSize(logical) <= 0)
            continue;
        columns.push_back({logical, captions->text(logical)});
    }
    return columns;
}

bool namesMoney(const QString &caption)
{
    static const QStringList words = {
        QStringLiteral("金额"), QStringLiteral("价"),     QStringLiteral("运费"),
        QStringLiteral("总额"), QStringLiteral("余额"),   QStringLiteral("费用"),
        QStringLiteral("货款"), QStringLiteral("已结算"), QStringLiteral("未结算")};
    return std::any_of(words.begin(), words.end(),
                       [&](const QString &word) { return caption.contains(word); });
}

bool namesCount(const QString &caption)
{
    static const QStringList words = {QStringLiteral("件数"), QStringLiteral("库存"), QStringLiteral("数量")};
    return std::any_of(words.begin(), words.end(),
                       [&](const QString &word) { return caption.contains(word); });
}

Sheet listSheet(const QString &name, const QStringList &captions, const std::vector<QStringList> &rows)
{
    Sheet sheet;
    sheet.name = name;
    sheet.header = captions;
    std::vector<ColumnKind> kinds;
    for (qsizetype k = 0; k < captions.size(); ++k)
        kinds.push_back(kindOf(captions[k], rows, k));
    for (const QStringList &row : rows) {
        std::vector<Cell> cells;
        cells.reserve(kinds.size());
        for (qsizetype k = 0; k < captions.size(); ++k) {
            const QString text = k < row.size() ? row[k] : QString();
            if (text.isEmpty())
                cells.push_back(Cell());
            else if (kinds[std::size_t(k)] == ColumnKind::Fen)
                cells.push_back(Cell::fen(*exactFen(text)));
            else if (kinds[std::size_t(k)] == ColumnKind::Integer)
                cells.push_back(Cell::integerOrText(text));
            else
                cells.push_back(Cell::fromText(text));
        }
        sheet.rows.push_back(std::move(cells));
    }
    return sheet;
}

void ListExport::setPathChooser(PathChooser chooser)
{
    pathChooser() = std::move(chooser);
}

void ListExport::setPageTimeout(int milliseconds)
{
    pageTimeout() = std::max(1, milliseconds);
}

ListExport::ListExport(PagedList *pager, QAbstractButton *button, const QString &name)
    : QObject(pager), m_pager(pager), m_button(button), m_name(name), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &ListExport::timedOut);
    if (m_button) {
        m_button->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
        m_button->setToolTip(QStringLiteral("导出 (Ctrl+E)"));
        connect(m_button, &QAbstractButton::clicked, this, &ListExport::start);
    }
}

QWidget *ListExport::owner() const
{
    return m_pager->list() ? m_pager->list()->window() : nullptr;
}

QString ListExport::caption() const
{
    const QWidget *window = owner();
    return window && !window->windowTitle().isEmpty() ? window->windowTitle() : appState().appTitle;
}

void ListExport::start()
{
    if (m_running)
        return;
    if (m_pager->isEmpty() || shownColumns(m_pager->list()).empty()) {
        inform(owner(), QStringLiteral("列表中没有可导出的数据!"), caption());
        return;
    }
    const QString suggested = m_name + QLatin1Char('_') +
                              QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) +
                              QStringLiteral(".xlsx");
    const QString path = askForPath(owner(), suggested);
    if (!path.isEmpty())
        startTo(path);
}

bool ListExport::startTo(const QString &path)
{
    if (m_running || path.isEmpty())
        return false;
    m_columns = shownColumns(m_pager->list());
    if (m_columns.empty())
        return false;
    m_running = true;
    m_path = path;
    m_rows.clear();
    m_pages = 0;
    m_dropPage = 0;
    if (m_button)
        m_button->setEnabled(false);

    m_progress =
        new QProgressDialog(QStringLiteral("正在读取第 1 页..."), QStringLiteral("取消"), 0, 0, owner());
    m_progress->setObjectName(QStringLiteral("进度框_导出"));
    m_progress->setWindowTitle(caption());
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    m_progress->setMinimumDuration(400);
    connect(m_progress, &QProgressDialog::canceled, this, &ListExport::cancel);
    m_progress->setValue(0);
    ask(1);
    return true;
}

void ListExport::ask(int page)
{
    m_page = page;
    if (m_progress && m_pages > 0)
        m_progress->setLabelText(QStringLiteral("正在读取第 %1 / %2 页...").arg(page).arg(m_pages));
    m_timer->start(pageTimeout());
    m_pager->query(QString::number(page));
}

bool ListExport::take(std::string_view gbkText)
{
    if (!m_running && m_dropPage == 0)
        return false;
    const protocol::ListReply reply = protocol::parseListReply(gbkText);
    const int page = leadingInt(fromGbk(reply.currentPage));
    if (!m_running) {
        // The reply of an export that ended early: it still comes first, in its turn.
        const bool late = m_dropSince.elapsed() > 2 * qint64(pageTimeout());
        const bool ours = !late && page == m_dropPage;
        if (late || ours)
            m_dropPage = 0;
        return ours;
    }
    if (page != m_page)
        return false; // a reply of a query sent before the export: the list's own

    // Each shown column from the reply's column of the same caption (the same place first).
    std::vector<int> from;
    for (const ShownColumn &column : m_columns) {
        int at = -1;
        const auto logical = std::size_t(column.logical);
        if (logical < reply.columns.size() && fromGbk(reply.columns[logical].caption) == column.caption)
            at = column.logical;
        for (std::size_t i = 0; at < 0 && i < reply.columns.size(); ++i) {
            if (fromGbk(reply.columns[i].caption) == column.caption)
                at = int(i);
        }
        from.push_back(at);
    }
    for (const auto &row : reply.rows) {
        QStringList cells;
        for (const int at : from)
            cells << (at >= 0 && std::size_t(at) < row.size() ? fromGbk(row[std::size_t(at)]) : QString());
        m_rows.push_back(std::move(cells));
    }

    m_pages = std::max(1, leadingInt(fromGbk(reply.pageCount)));
    if (m_progress) {
        m_progress->setMaximum(m_pages);
        m_progress->setValue(std::min(page, m_pages));
    }
    if (page < m_pages)
        ask(page + 1);
    else
        finish();
    return true;
}

void ListExport::finish()
{
    QStringList captions;
    for (const ShownColumn &column : m_columns)
        captions << column.caption;
    const std::vector<Sheet> sheets{listSheet(m_name, captions, m_rows)};
    const QString path = m_path;
    const auto rows = m_rows.size();
    stop(false);
    const bool written = isXlsxPath(path) ? writeXlsx(path, sheets) : writeCsv(path, sheets);
    if (written)
        inform(owner(), QStringLiteral("列表已导出,共 %1 行:\r\n%2").arg(rows).arg(path), caption());
    else
        inform(owner(), QStringLiteral("导出失败,无法写入文件:\r\n") + path, caption());
    emit finished(written, path);
}

void ListExport::stop(bool cancelled)
{
    m_running = false;
    m_timer->stop();
    if (cancelled) {
        m_dropPage = m_page;
        m_dropSince.start();
    }
    if (m_progress) {
        QProgressDialog *progress = m_progress;
        m_progress = nullptr;
        disconnect(progress, nullptr, this, nullptr); // closing it would cancel again
        progress->hide();
        progress->deleteLater();
    }
    m_rows.clear();
    m_columns.clear();
    if (m_button)
        m_button->setEnabled(true);
}

void ListExport::cancel()
{
    if (!m_running)
        return;
    const QString path = m_path;
    stop(true);
    emit finished(false, path);
}

void ListExport::timedOut()
{
    if (!m_running)
        return;
    const QString path = m_path;
    const int page = m_page;
    stop(true);
    inform(owner(),
           QStringLiteral("导出失败:第 %1 页在 %2 秒内没有收到服务器的回复,请稍后再试。")
               .arg(page)
               .arg((pageTimeout() + 999) / 1000),
           caption());
    emit finished(false, path);
}

} // namespace vantrell::client
