#include "client/ui/common/listfiller.h"

#include "client/core/text.h"
#include "protocol/listreply.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

namespace vantrell::client {

namespace {

constexpr int kBaseWidthRole = Qt::UserRole + 1;

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
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
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
    const protocol::ListReply reply = protocol::parseListReply(gbkText);
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
    if (!reply.hasColumns)
        return;
    stretchColumns(list);

    QList<QTreeWidgetItem *> items;
    items.reserve(qsizetype(reply.rows.size()));
    for (const auto &cells : reply.rows) {
        auto *item = new QTreeWidgetItem;
        for (int k = 0; k < int(cells.size()) && k < int(captions.size()); ++k) {
            item->setText(k, fromGbk(cells[size_t(k)]));
            item->setTextAlignment(k, alignmentOf(alignments[k]));
        }
        items << item;
    }
    list->addTopLevelItems(items);
}

void stretchColumns(QTreeWidget *list, int margin)
{
    int sum = 0;
    int count = 0;
    for (int i = 0; i < list->columnCount(); ++i) {
        if (list->isColumnHidden(i))
            continue;
        sum += list->columnWidth(i);
        ++count;
    }
    if (count == 0)
        return;
    const int share = (list->width() - sum - margin) / count;
    for (int i = 0; i < list->columnCount(); ++i) {
        if (!list->isColumnHidden(i))
            list->setColumnWidth(i, std::max(list->columnWidth(i) + share, 8));
    }
}

void restretchColumns(QTreeWidget *list, int margin)
{
    const QTreeWidgetItem *header = list->headerItem();
    for (int i = 0; i < list->columnCount(); ++i) {
        if (!list->isColumnHidden(i))
            list->setColumnWidth(i, header->data(i, kBaseWidthRole).toInt());
    }
    stretchColumns(list, margin);
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
