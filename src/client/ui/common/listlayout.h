#pragma once

// Remembered layouts: the column widths, order and sort indicator of a list and the size
// of a resizable secondary window, kept per user account in the user-data file's section
// 界面布局_<user name>.
//
// A list's layout is its header's own saved state (QHeaderView::saveState) together with
// the captions it was taken for, base64-encoded behind a version. Lists take their columns
// from the server's replies, which may change: a layout is applied only to the very same
// captions, and one that cannot be read, or was taken for other columns, is ignored and
// the list keeps the widths its fill gave. A remembered width is never below what the
// column's caption needs.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <optional>

class QTreeWidget;
class QWidget;

namespace vantrell::client {

// The section of the signed-in account ("界面布局_" + user name).
QString layoutSection();

struct ListState
{
    QStringList captions;
    QByteArray header; // QHeaderView::saveState
};
QString encodeListState(const ListState &state);
// nullopt for anything that is not a state this version wrote.
std::optional<ListState> decodeListState(const QString &text);

// The layout of one list: follows the user's changes to the header (dragging a column's
// edge or the column itself, clicking a caption) and writes them at once; applies the
// remembered layout after each fill that gives the same columns.
class ListLayout : public QObject
{
    Q_OBJECT
public:
    explicit ListLayout(QTreeWidget *list);

    // After the list was filled: the remembered layout replaces the fill's widths when it
    // was taken for these columns. The first call reads it from the user-data file.
    void afterFill();
    // The key of the list in the section: window name and list name.
    QString key() const;
    // True while a remembered layout rules the list's widths.
    bool isApplied() const { return m_applied; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void changedByUser();
    void store();
    QStringList captions() const;
    int captionNeed(int logical) const;

    QPointer<QTreeWidget> m_list;
    std::optional<ListState> m_state;
    bool m_loaded = false;
    bool m_applied = false;
    bool m_applying = false;
    bool m_pressed = false;
    bool m_changed = false;
};

// The size of a window that can be resized (its minimum and maximum differ), by its
// object name; restoring keeps within its limits and the screen.
void restoreWindowSize(QWidget *window);
void saveWindowSize(const QWidget *window);

} // namespace vantrell::client
