#include "client/ui/common/listlayout.h"

#include "client/core/appstate.h"
#include "client/core/userdata.h"
#include "client/ui/common/listfiller.h"

#include <QBitArray>
#include <QDataStream>
#include <QGuiApplication>
#include <QHash>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScreen>
#include <QStandardItemModel>
#include <QTreeWidget>
#include <QWidget>

#include <algorithm>

namespace vantrell::client {

namespace {

constexpr quint32 kMagic = 0x564c4159; // "VLAY"
constexpr quint16 kVersion = 1;
const QString kPrefix = QStringLiteral("1:");

QString windowKey(const QWidget *window)
{
    return QStringLiteral("窗口_") + window->objectName();
}

// True when `state` is a header state of exactly `columns` sections, each shown once:
// QHeaderView::restoreState takes a state of another section count as it is.
bool fitsColumns(const QByteArray &state, int columns)
{
    // The section count, the twelfth item of the header's state (version 0 of its format).
    QDataStream in(state);
    in.setVersion(QDataStream::Qt_5_0);
    int marker = 0, version = -1, orientation = 0, order = 0, sortSection = 0, length = 0, sections = -1;
    bool sortShown = false;
    QList<int> visualIndices, logicalIndices;
    QBitArray hidden;
    QHash<int, int> hiddenSizes;
    in >> marker >> version >> orientation >> order >> sortSection >> sortShown >> visualIndices >>
        logicalIndices >> hidden >> hiddenSizes >> length >> sections;
    if (in.status() != QDataStream::Ok || marker != 0xff || version != 0 || sections != columns)
        return false;

    QStandardItemModel model(0, columns);
    QHeaderView header(Qt::Horizontal);
    header.setModel(&model);
    if (!header.restoreState(state) || header.count() != columns)
        return false;
    QList<bool> seen(columns, false);
    for (int visual = 0; visual < columns; ++visual) {
        const int logical = header.logicalIndex(visual);
        if (logical < 0 || logical >= columns || seen[logical])
            return false;
        seen[logical] = true;
    }
    return true;
}

bool resizable(const QWidget *window)
{
    return window && !window->objectName().isEmpty() && window->minimumSize() != window->maximumSize();
}

} // namespace

QString layoutSection()
{
    QString user = appState().currentUserName;
    // Characters that would end a section name, or a line, in the profile file.
    for (QChar &c : user) {
        if (c == QLatin1Char('[') || c == QLatin1Char(']') || c == QLatin1Char('=') ||
            c == QLatin1Char(';') || c.isSpace() || c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    }
    return QStringLiteral("界面布局_") + user;
}

QString encodeListState(const ListState &state)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kMagic << kVersion << state.captions << state.header;
    return kPrefix + QString::fromLatin1(bytes.toBase64());
}

std::optional<ListState> decodeListState(const QString &text)
{
    if (!text.startsWith(kPrefix))
        return std::nullopt;
    const auto decoded = QByteArray::fromBase64Encoding(text.mid(kPrefix.size()).toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    QDataStream in(*decoded);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    quint16 version = 0;
    ListState state;
    in >> magic >> version;
    if (in.status() != QDataStream::Ok || magic != kMagic || version != kVersion)
        return std::nullopt;
    in >> state.captions >> state.header;
    if (in.status() != QDataStream::Ok || !in.atEnd() || state.captions.isEmpty() || state.header.isEmpty())
        return std::nullopt;
    return state;
}

ListLayout::ListLayout(QTreeWidget *list) : QObject(list), m_list(list)
{
    QHeaderView *header = list->header();
    header->setSectionsMovable(true);
    header->viewport()->installEventFilter(this);
    connect(header, &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
        if (m_applying || !m_pressed)
            return;
        // Dragged narrower than its caption: the caption stays whole.
        const int need = captionNeed(logical);
        if (size > 0 && size < need) {
            m_applying = true;
            m_list->header()->resizeSection(logical, need);
            m_applying = false;
        }
        changedByUser();
    });
    connect(header, &QHeaderView::sectionMoved, this, [this] {
        if (!m_applying && m_pressed)
            changedByUser();
    });
    connect(header, &QHeaderView::sortIndicatorChanged, this, [this] {
        if (!m_applying && m_pressed)
            changedByUser();
    });
}

QString ListLayout::key() const
{
    if (!m_list)
        return {};
    const QString window = m_list->window() == m_list ? QString() : m_list->window()->objectName();
    return (window.isEmpty() ? QStringLiteral("列表") : window) + QLatin1Char('/') + m_list->objectName();
}

QStringList ListLayout::captions() const
{
    QStringList texts;
    const QTreeWidgetItem *header = m_list->headerItem();
    for (int i = 0; i < m_list->columnCount(); ++i)
        texts << header->text(i);
    return texts;
}

int ListLayout::captionNeed(int logical) const
{
    return m_list->header()->sectionSizeHint(logical);
}

void ListLayout::afterFill()
{
    if (!m_list)
        return;
    if (!m_loaded) {
        m_loaded = true;
        m_state = decodeListState(UserData::read(layoutSection(), key()));
    }
    m_applied = false;
    if (m_state && m_state->captions == captions()) {
        QHeaderView *header = m_list->header();
        QList<bool> hidden;
        for (int i = 0; i < m_list->columnCount(); ++i)
            hidden << m_list->isColumnHidden(i);
        m_applying = true;
        const int columns = m_list->columnCount();
        const bool restored = fitsColumns(m_state->header, columns) &&
                              header->restoreState(m_state->header) && header->count() == columns;
        if (restored) {
            // The columns the fill hides stay hidden, the others shown, and no caption is
            // cut, whatever the state says.
            for (int i = 0; i < m_list->columnCount(); ++i) {
                m_list->setColumnHidden(i, hidden[i]);
                if (!hidden[i] && m_list->columnWidth(i) < captionNeed(i))
                    m_list->setColumnWidth(i, captionNeed(i));
            }
            header->setSectionsMovable(true);
        }
        m_applying = false;
        if (restored) {
            m_applied = true;
            keepColumnWidths(m_list, true);
            return;
        }
        m_state.reset();
    }
    // No layout for these columns: the fill's own widths, stretched as usual.
    if (keepsColumnWidths(m_list)) {
        keepColumnWidths(m_list, false);
        stretchColumns(m_list);
    }
}

bool ListLayout::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            m_pressed = true;
        break;
    case QEvent::MouseButtonRelease:
        // The header moves a dragged column on the release itself, after this filter:
        // the layout is taken once the release is through.
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton && m_pressed) {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_pressed = false;
                    if (m_changed)
                        store();
                },
                Qt::QueuedConnection);
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void ListLayout::changedByUser()
{
    m_changed = true;
    // The stretching must not take back what the user is doing.
    keepColumnWidths(m_list, true);
}

void ListLayout::store()
{
    m_changed = false;
    if (!m_list || m_list->columnCount() == 0)
        return;
    m_loaded = true;
    m_state = ListState{captions(), m_list->header()->saveState()};
    m_applied = true;
    keepColumnWidths(m_list, true);
    UserData::write(layoutSection(), key(), encodeListState(*m_state));
}

void restoreWindowSize(QWidget *window)
{
    if (!resizable(window))
        return;
    const QStringList parts = UserData::read(layoutSection(), windowKey(window)).split(QLatin1Char(','));
    if (parts.size() != 2)
        return;
    bool wide = false, high = false;
    QSize size(parts[0].trimmed().toInt(&wide), parts[1].trimmed().toInt(&high));
    if (!wide || !high || size.width() <= 0 || size.height() <= 0)
        return;
    size = size.expandedTo(window->minimumSize()).boundedTo(window->maximumSize());
    const QWidget *owner = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    const QScreen *screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen)
        size = size.boundedTo(screen->availableGeometry().size()).expandedTo(window->minimumSize());
    window->resize(size);
}

void saveWindowSize(const QWidget *window)
{
    if (!resizable(window))
        return;
    const QString text = QStringLiteral("%1,%2").arg(window->width()).arg(window->height());
    if (UserData::read(layoutSection(), windowKey(window)) != text)
        UserData::write(layoutSection(), windowKey(window), text);
}

} // namespace vantrell::client
