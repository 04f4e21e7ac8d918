#pragma once

// The statements of one partner: the summary tiles, the statement list, the orders of a
// statement, reconciling (purchaser) and settling (supplier), and the export to an Excel
// workbook or CSV.

#include "client/ui/common/framedwindow.h"
#include "client/ui/finance/statementexport.h"

#include <memory>
#include <optional>
#include <vector>

class QMenu;

namespace Ui {
class FinanceWindow;
}

namespace vantrell::client {

struct Reply;
class PagedList;

class FinanceWindow final : public FramedWindow
{
    Q_OBJECT
public:
    // `partnerId`: the 采购商ID (supplier) or 供应商ID (purchaser) of the finance list row.
    FinanceWindow(QWidget *mainWindow, const QString &partnerId);
    ~FinanceWindow() override;

    QString partnerId() const { return m_partnerId; }
    int queryType() const { return m_queryType; }

    // The statement list with the keyword box, the current query type and `page`.
    void refreshStatements(const QString &page);
    // The statement list again as it is shown (after a settlement or a new statement).
    void refreshStatementsInPlace();
    // The details with the details keyword, the stored query type and date range.
    void queryDetails(const QString &page);

    void fillStatements(const Reply &reply);
    // Details replies feed a running export instead of the list.
    void fillDetails(const Reply &reply);

    QMenu *openContextMenu(const QPoint &globalPos);
    void viewSelectedDetails();
    // operation 1 reconciles, 2 settles; only the operation that matches the caption is sent.
    void confirmSelected(int operation);
    void openStatementCreation();

    // Fetches the orders of the selected statement and writes them to `path` when the
    // details have arrived, as a workbook for a .xlsx path and as CSV otherwise; false
    // (after "请选中一个账单!") without a selection.
    bool exportStatement(const QString &path);
    bool exportRunning() const { return m_export.has_value(); }

signals:
    void exportFinished(bool written, const QString &path);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    struct ExportJob
    {
        QString path;
        QString from, to;
        StatementSummary statement;
        std::vector<StatementOrder> orders;
    };

    QString actionCaption() const;
    void tileDetails(int queryType);
    void chooseExportPath();
    void continueExport(const Reply &reply);

    std::unique_ptr<Ui::FinanceWindow> m_ui;
    PagedList *m_statements = nullptr;
    PagedList *m_details = nullptr;
    QString m_partnerId;
    int m_queryType = 0;
    QString m_detailFrom, m_detailTo;
    bool m_balloonShown = false;
    std::optional<ExportJob> m_export;
};

// Opens the window for the partner (modal, one instance).
void openFinanceWindow(QWidget *owner, const QString &partnerId);

} // namespace vantrell::client
