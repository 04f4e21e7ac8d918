#pragma once

// Export of a paged list to a spreadsheet: every row of the list's current query, over all
// its pages, in the columns the list shows, in their shown order, with their captions.
//
// The pages are fetched one after another by the list's own query (page 1, 2, ... up to
// the page count the replies give); each reply is taken off the list's fill, so the list
// on the screen stays exactly as it was. A progress dialog can cancel the export: no file
// is written then, and the reply still on its way is dropped. A page that does not come
// within the time-out ends the export with a message and no file.
//
// Columns keep their meaning in a workbook: a column whose caption names money (金额, 价,
// 运费, ...) and whose every filled cell is an exact amount of at most two decimals becomes
// amount cells (integer fen); a count column (件数, 库存, 数量) of integers only becomes
// integer cells; every other column, codes and numbers such as "0012" among them, stays
// text as shown.

#include "client/ui/common/spreadsheet.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <string_view>
#include <vector>

class QTimer;
class QTreeWidget;
class QWidget;

namespace vantrell::client {

class PagedList;

struct ShownColumn
{
    int logical = 0;
    QString caption;
};

// The columns `list` shows (not hidden, wider than 0), in the order its header shows them.
std::vector<ShownColumn> shownColumns(const QTreeWidget *list);

// True when a caption names an amount of money, or a count.
bool namesMoney(const QString &caption);
bool namesCount(const QString &caption);

// The sheet of an export: the captions as the title row, each column's cells as above.
Sheet listSheet(const QString &name, const QStringList &captions, const std::vector<QStringList> &rows);

class ListExport final : public QObject
{
    Q_OBJECT
public:
    // The save dialog's answer: a path, or empty when the user gave none. Tests replace it.
    using PathChooser = std::function<QString(QWidget *parent, const QString &suggestedName)>;
    static void setPathChooser(PathChooser chooser); // empty: the save dialog
    // Milliseconds a page may take (15 s unless changed).
    static void setPageTimeout(int milliseconds);

    // `name` is the sheet's name and the start of the suggested file name.
    ListExport(PagedList *pager, QAbstractButton *button, const QString &name);

    QAbstractButton *button() const { return m_button; }
    bool isRunning() const { return m_running; }
    QProgressDialog *progress() const { return m_progress; }

    // Asks where to, then fetches. Refused with a message when the list shows nothing.
    void start();
    // Fetches into `path` (a .xlsx path is written as a workbook, any other as CSV);
    // false when an export is already running or the list shows no columns.
    bool startTo(const QString &path);
    // Ends a running export without writing anything.
    void cancel();

    // A list reply on its way to the list: true when it belongs to the export (or to one
    // cancelled), which then keeps it from the list.
    bool take(std::string_view gbkText);

signals:
    // After every export: whether the file was written, and its path.
    void finished(bool written, const QString &path);

private:
    void ask(int page);
    void finish();
    void stop(bool cancelled);
    void timedOut();
    QWidget *owner() const;
    QString caption() const;

    PagedList *m_pager = nullptr;
    QPointer<QAbstractButton> m_button;
    QString m_name;
    QPointer<QProgressDialog> m_progress;
    QTimer *m_timer = nullptr;

    bool m_running = false;
    QString m_path;
    std::vector<ShownColumn> m_columns;
    std::vector<QStringList> m_rows;
    int m_page = 0;
    int m_pages = 0;
    // The page whose reply is still to come after an export ended early, and since when.
    int m_dropPage = 0;
    QElapsedTimer m_dropSince;
};

} // namespace vantrell::client
