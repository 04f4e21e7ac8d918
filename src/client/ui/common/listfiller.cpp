#include "client/ui/common/listfiller.h"

#include "client/core/text.h"
#include "client/ui/common/celltips.h"
#include "protocol/fieldtext.h"
#include "protocol/gbk.h"
#include "protocol/listreply.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <optional>

namespace vantrell::client {

namespace {

constexpr int kBaseWidthRole = Qt::UserRole + 1;
// The rows whose cells say how wide a column would like to be; the ones in view first.
constexpr int kSampledRows = 20;
constexpr int kNarrowest = 8;
constexpr const char *kKeptWidths = "vantrellKeptWidths";

Qt::Alignment alignmentOf(int code)
{
    switch (code) {
    case 1:
        return Qt::AlignCenter;
    case 2:
        return Qt::AlignRight | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

// A filled row: the alignment of its cells is the column's, kept once per fill rather
// than once per cell, unless a cell was given one of its own.
class FilledRow final : public QTreeWidgetItem
{
public:
    explicit FilledRow(std::shared_ptr<const QList<int>> alignments) : m_alignments(std::move(alignments)) {}

    QVariant data(int column, int role) const override
    {
        if (role != Qt::TextAlignmentRole)
            return QTreeWidgetItem::data(column, role);
        QVariant own = QTreeWidgetItem::data(column, role);
        if (own.isValid() || column < 0 || column >= m_alignments->size())
            return own;
        return m_alignments->at(column);
    }

private:
    std::shared_ptr<const QList<int>> m_alignments;
};

// GBK double-byte characters as UTF-16, learnt from the codec itself one lead byte at a
// time, the first time a cell holds one: a cell then costs a table look-up per character
// instead of a conversion of its own. 0 marks a pair the codec does not map.
class GbkTable
{
public:
    char16_t at(unsigned char lead, unsigned char trail)
    {
        const int row = lead - 0x81;
        std::call_once(m_learnt[std::size_t(row)], [this, lead, row] { learn(lead, row); });
        return m_chars[std::size_t(row)][std::size_t(trail - 0x40)];
    }

private:
    void learn(unsigned char lead, int row)
    {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const char pair[2] = {char(lead), char(trail)};
            const std::optional<std::string> utf8 = protocol::gbkToUtf8(std::string_view(pair, 2));
            const QString one = utf8 ? QString::fromUtf8(utf8->data(), qsizetype(utf8->size())) : QString();
            m_chars[std::size_t(row)][std::size_t(trail - 0x40)] =
                one.size() == 1 ? one.front().unicode() : 0;
        }
    }

    std::array<std::once_flag, 0xFE - 0x81 + 1> m_learnt;
    std::array<std::array<char16_t, 0xFE - 0x40 + 1>, 0xFE - 0x81 + 1> m_chars{};
};

// One cell as fromGbk reads it; what the table cannot read (a lone lead byte, a pair the
// codec does not map) goes to fromGbk itself.
QString decodeCell(std::string_view cell)
{
    static GbkTable table;
    qsizetype characters = 0;
    bool ascii = true;
    for (std::size_t i = 0; i < cell.size(); ++characters) {
        const auto byte = static_cast<unsigned char>(cell[i]);
        ascii = ascii && byte < 0x80;
        i += protocol::isGbkLeadByte(byte) ? 2 : 1;
    }
    if (ascii)
        return QString::fromLatin1(cell.data(), qsizetype(cell.size()));

    QString out(characters, Qt::Uninitialized);
    QChar *to = out.data();
    for (std::size_t i = 0; i < cell.size();) {
        const auto byte = static_cast<unsigned char>(cell[i]);
        if (byte < 0x80) {
            *to++ = QLatin1Char(char(byte));
            ++i;
            continue;
        }
        const auto trail = i + 1 < cell.size() ? static_cast<unsigned char>(cell[i + 1]) : 0;
        const char16_t unit =
            protocol::isGbkLeadByte(byte) && protocol::isGbkTrailByte(trail) ? table.at(byte, trail) : 0;
        if (unit == 0)
            return fromGbk(cell);
        *to++ = QChar(unit);
        i += 2;
    }
    return out;
}

// The texts a column held last: lists repeat their states, categories and companies from
// row to row, and a repeated cell then shares the text instead of decoding it again. A
// column whose first rows repeat nothing (IDs, amounts) is not looked up any further.
class RecentTexts
{
public:
    QString text(std::string_view cell)
    {
        if (m_lookups < kTrial || m_hits > 0) {
            ++m_lookups;
            for (const Entry &entry : m_entries) {
                if (entry.bytes == cell) {
                    ++m_hits;
                    return entry.text;
                }
            }
        } else {
            return decodeCell(cell);
        }
        Entry &entry = m_entries[m_next];
        m_next = (m_next + 1) % m_entries.size();
        entry.bytes = cell;
        entry.text = decodeCell(cell);
        return entry.text;
    }

private:
    static constexpr int kTrial = 16;
    struct Entry
    {
        std::optional<std::string_view> bytes; // a view into the reply being filled
        QString text;
    };
    std::array<Entry, 4> m_entries;
    std::size_t m_next = 0;
    int m_lookups = 0;
    int m_hits = 0;
};

// True when `key` + "[" occurs in `text` with a "]" after it: the lookup of such a key
// reads the same in `text` as in any longer text that starts with it.
bool closedIn(std::string_view text, std::string_view key)
{
    std::string pattern(key);
    pattern.push_back('[');
    const std::size_t start = text.find(pattern);
    return start != std::string_view::npos &&
           text.find(']', start + pattern.size()) != std::string_view::npos;
}

// The reply's head (all before the first data record) holds the page keys and the
// columns. Reading the head alone gives what reading the whole reply gives when every
// lookup there finds its key closed inside the head and no column follows the rows.
bool headSuffices(std::string_view head, std::string_view rows)
{
    const std::string &columnMarker = protocol::gbk(protocol::kColumnMarker);
    if (columnMarker.empty() || rows.find(columnMarker) != std::string_view::npos)
        return false;
    if (!closedIn(head, protocol::gbk("合计页数")) || !closedIn(head, protocol::gbk("当前页数")))
        return false;
    const std::size_t last = head.rfind(columnMarker);
    return last == std::string_view::npos || closedIn(head.substr(last), protocol::gbk("列信息"));
}

// The value lookup of the field text on the data records, without copying: the value of
// the first caption + "[", up to the first "]" or the next caption + "[" before it.
// Every such key ends at a "[", so only the record's "[" are tried, in their order.
// Anything else (no such key, no "]" after it) is left to the field text's own lookup.
class RecordCells
{
public:
    // `brackets` is scratch space, kept by the caller from one record to the next.
    RecordCells(std::string_view record, std::vector<std::size_t> &brackets)
        : m_record(record), m_brackets(brackets)
    {
        m_brackets.clear();
        for (std::size_t at = record.find('['); at != std::string_view::npos; at = record.find('[', at + 1))
            m_brackets.push_back(at);
    }

    std::optional<std::string_view> cell(std::string_view caption) const
    {
        const auto keyEndsAt = [&](std::size_t bracket, std::size_t from) {
            // The captions of a list mostly differ in their last byte: look at it first.
            return bracket >= from + caption.size() && m_record[bracket - 1] == caption.back() &&
                   m_record.compare(bracket - caption.size(), caption.size(), caption) == 0;
        };
        for (std::size_t i = 0; i < m_brackets.size(); ++i) {
            if (!keyEndsAt(m_brackets[i], 0))
                continue;
            const std::size_t from = m_brackets[i] + 1;
            const std::size_t close = m_record.find(']', from);
            if (close == std::string_view::npos)
                return std::nullopt;
            std::size_t end = close;
            for (std::size_t j = i + 1; j < m_brackets.size() && m_brackets[j] < close; ++j) {
                if (keyEndsAt(m_brackets[j], from)) {
                    end = m_brackets[j] - caption.size();
                    break;
                }
            }
            return m_record.substr(from, end - from);
        }
        return std::nullopt;
    }

private:
    std::string_view m_record;
    std::vector<std::size_t> &m_brackets;
};

void setColumns(QTreeWidget *list, const QStringList &captions, const QList<int> &widths,
                const QList<int> &alignments)
{
    list->clear();
    list->setColumnCount(0);
    auto *header = new QTreeWidgetItem;
    for (int i = 0; i < captions.size(); ++i) {
        header->setText(i, captions[i]);
        header->setTextAlignment(i, alignmentOf(alignments[i]));
        header->setData(i, kBaseWidthRole, widths[i]);
    }
    list->setHeaderItem(header);
    list->setColumnCount(int(captions.size()));
    for (int i = 0; i < captions.size(); ++i) {
        list->setColumnHidden(i, widths[i] <= 0);
        list->setColumnWidth(i, std::max(widths[i], 0));
    }
}

// Takes `over` pixels from the columns, always from the widest one still above its limit:
// long texts give way to the ellipsis before the short fixed ones (states, amounts) do.
int shrinkTowards(QList<int> &widths, const QList<int> &limits, int over)
{
    while (over > 0) {
        qsizetype widest = -1;
        for (qsizetype i = 0; i < widths.size(); ++i) {
            if (widths[i] > limits[i] && (widest < 0 || widths[i] > widths[widest]))
                widest = i;
        }
        if (widest < 0)
            break;
        --widths[widest];
        --over;
    }
    return over;
}

// What a cell needs: its text, the margins the style keeps around it and the icon.
int cellNeed(const QTreeWidget *list, const QFontMetrics &metrics, const QTreeWidgetItem *item, int column)
{
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    int need = metrics.horizontalAdvance(item->text(column)) + 2 * margin;
    if (!item->icon(column).isNull())
        need += list->iconSize().width() + 2 * margin;
    return need;
}

} // namespace

void makeReportList(QTreeWidget *list)
{
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setAlternatingRowColors(true);
    list->setIconSize(QSize(10, 10));
    list->header()->setStretchLastSection(false);
    list->header()->setSectionsMovable(false);
    list->header()->setDefaultAlignment(Qt::AlignCenter);
    // Captions are centred in columns mostly wider than they are; narrow side padding
    // lets the server's columns keep their whole captions in a window of 800 x 600.
    list->header()->setStyleSheet(
        QStringLiteral("QHeaderView::section { padding-left: 4px; padding-right: 4px; }"));
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    showCutTextInToolTips(list);
}

void setDesignColumns(QTreeWidget *list, std::initializer_list<DesignColumn> columns)
{
    QStringList captions;
    QList<int> widths, alignments;
    for (const auto &column : columns) {
        captions << column.caption;
        widths << column.width;
        alignments << column.alignment;
    }
    setColumns(list, captions, widths, alignments);
    stretchColumns(list);
}

void fillList(QTreeWidget *list, std::string_view gbkText, QLabel *pageLabel, QLineEdit *pageBox)
{
    if (!list)
        return;
    // The rows are read here straight from the text; the head is read by the field text's
    // own reader, the whole reply only when the head alone could read differently.
    const std::string &dataMarker = protocol::gbk(protocol::kDataMarker);
    const std::size_t firstRow = dataMarker.empty() ? std::string_view::npos : gbkText.find(dataMarker);
    const std::string_view head = gbkText.substr(0, firstRow);
    const bool headOnly = firstRow != std::string_view::npos && headSuffices(head, gbkText.substr(firstRow));
    const protocol::ListReply reply = protocol::parseListReply(headOnly ? head : gbkText);

    const bool updates = list->updatesEnabled();
    list->setUpdatesEnabled(false);
    list->clear();
    if (pageLabel)
        pageLabel->setText(QStringLiteral("共 ") + fromGbk(reply.pageCount) + QStringLiteral(" 页"));
    if (pageBox) {
        pageBox->setText(fromGbk(reply.currentPage));
        pageBox->setCursorPosition(int(pageBox->text().size()));
    }

    QStringList captions;
    QList<int> widths, alignments;
    for (const auto &column : reply.columns) {
        captions << fromGbk(column.caption);
        widths << column.width;
        alignments << column.alignment;
    }
    setColumns(list, captions, widths, alignments);
    if (!reply.hasColumns || firstRow == std::string_view::npos) {
        if (reply.hasColumns)
            stretchColumns(list);
        list->setUpdatesEnabled(updates);
        return;
    }

    QList<int> codes;
    for (const int code : alignments)
        codes << int(alignmentOf(code));
    const auto shared = std::make_shared<const QList<int>>(std::move(codes));
    const int columns = int(captions.size());
    QList<QTreeWidgetItem *> items;
    const auto addRow = [&](const auto &cellText) {
        auto *item = new FilledRow(shared);
        for (int k = 0; k < columns; ++k) {
            // The text is moved into the value the row copies, saving two of the four
            // reference count changes setText would make: a sizeable part of a fill.
            QVariant display(QMetaType::fromType<QString>());
            *static_cast<QString *>(display.data()) = cellText(std::size_t(k));
            item->setData(k, Qt::DisplayRole, display);
        }
        items << item;
    };
    std::vector<RecentTexts> recent(static_cast<std::size_t>(columns));
    if (headOnly) {
        const std::vector<std::string_view> records = protocol::splitRecords(gbkText, dataMarker);
        items.reserve(qsizetype(records.size()));
        std::vector<std::size_t> brackets;
        for (const std::string_view record : records) {
            const RecordCells found(record, brackets);
            addRow([&](std::size_t k) {
                // A cell the quick lookup cannot read is read by the field text's lookup.
                const std::string &caption = reply.columns[k].caption;
                std::optional<std::string_view> cell;
                if (!caption.empty() && caption.find(']') == std::string::npos)
                    cell = found.cell(caption);
                return cell ? recent[k].text(*cell) : fromGbk(protocol::valueOf(record, caption));
            });
        }
    } else {
        items.reserve(qsizetype(reply.rows.size()));
        for (const auto &row : reply.rows)
            addRow([&](std::size_t k) { return recent[k].text(row[k]); });
    }
    list->addTopLevelItems(items);
    stretchColumns(list);
    list->setUpdatesEnabled(updates);
}

void stretchColumns(QTreeWidget *list, int margin)
{
    if (keepsColumnWidths(list))
        return;
    QList<int> visible, widths;
    int sum = 0;
    for (int i = 0; i < list->columnCount(); ++i) {
        if (list->isColumnHidden(i))
            continue;
        visible << i;
        widths << list->columnWidth(i);
        sum += widths.last();
    }
    if (visible.isEmpty())
        return;
    const int available = list->width() - margin;
    const int share = (available - sum) / int(visible.size());

    // The equal share, but no caption is cut (`least`) and, as long as wider columns can
    // give, no column is narrower than its first rows need (`wanted`). When not even the
    // captions fit, the list scrolls sideways.
    QHeaderView *header = list->header();
    header->ensurePolished();
    const QFontMetrics metrics = list->fontMetrics();
    const int rows = std::min(list->topLevelItemCount(), kSampledRows);
    QList<int> least, wanted;
    int total = 0;
    for (qsizetype k = 0; k < visible.size(); ++k) {
        const int column = visible[k];
        least << std::max(header->sectionSizeHint(column), kNarrowest);
        // Measured on the longest text only: measuring is the slow part of a fill.
        const QTreeWidgetItem *longest = nullptr;
        for (int row = 0; row < rows; ++row) {
            const QTreeWidgetItem *item = list->topLevelItem(row);
            if (!longest || item->text(column).size() > longest->text(column).size())
                longest = item;
        }
        wanted << std::max(least.last(), longest ? cellNeed(list, metrics, longest, column) : 0);
        const int need = wanted.last();
        widths[k] = std::max(widths[k] + share, need);
        total += widths[k];
    }
    const int over = shrinkTowards(widths, wanted, total - available);
    shrinkTowards(widths, least, over);
    for (qsizetype k = 0; k < visible.size(); ++k)
        list->setColumnWidth(visible[k], widths[k]);
}

void restretchColumns(QTreeWidget *list, int margin)
{
    if (keepsColumnWidths(list))
        return;
    const QTreeWidgetItem *header = list->headerItem();
    for (int i = 0; i < list->columnCount(); ++i) {
        if (!list->isColumnHidden(i))
            list->setColumnWidth(i, header->data(i, kBaseWidthRole).toInt());
    }
    stretchColumns(list, margin);
}

void keepColumnWidths(QTreeWidget *list, bool keep)
{
    list->setProperty(kKeptWidths, keep);
}

bool keepsColumnWidths(const QTreeWidget *list)
{
    return list->property(kKeptWidths).toBool();
}

QString cellByTitle(const QTreeWidget *list, const QString &title, const QTreeWidgetItem *row)
{
    if (!list || !row)
        return {};
    const QTreeWidgetItem *header = list->headerItem();
    for (int i = 0; i < list->columnCount(); ++i) {
        if (header->text(i) == title)
            return row->text(i);
    }
    return {};
}

QString selectedCell(const QTreeWidget *list, int column)
{
    const QList<QTreeWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text(column);
}

} // namespace vantrell::client
