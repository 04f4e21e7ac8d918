#include "client/ui/common/stateicons.h"

#include "client/ui/common/listfiller.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QTreeWidget>

namespace vantrell::client {

namespace {

// A state cell's mark and text drawn side by side as one block, placed as the text is
// aligned: in a centred column, however wide it grows (a maximised window), the mark stays
// beside its text instead of at the cell's left edge.
class StateCellDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        if (!(cell.features & QStyleOptionViewItem::HasDecoration) || cell.text.isEmpty() ||
            !(cell.displayAlignment & Qt::AlignHCenter)) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const QWidget *widget = cell.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();

        // The cell's background, selection and hover as usual, without its contents.
        QStyleOptionViewItem back = cell;
        back.text.clear();
        back.icon = QIcon();
        back.features &= ~(QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration);
        style->drawControl(QStyle::CE_ItemViewItem, &back, painter, widget);

        // Then mark and text in the middle, as wide as they need (or the cell, if less).
        QStyleOptionViewItem block = cell;
        const int need = style->sizeFromContents(QStyle::CT_ItemViewItem, &block, QSize(), widget).width();
        if (need < cell.rect.width())
            block.rect = QRect(cell.rect.left() + (cell.rect.width() - need) / 2, cell.rect.top(), need,
                               cell.rect.height());
        block.displayAlignment = (cell.displayAlignment & ~Qt::AlignHorizontal_Mask) | Qt::AlignLeft;
        block.backgroundBrush = Qt::NoBrush;
        block.state &= ~QStyle::State_HasFocus;
        style->drawControl(QStyle::CE_ItemViewItem, &block, painter, widget);
    }

    // The list's own delegate decides the tool tips (a cut cell shows its whole text).
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override
    {
        QAbstractItemDelegate *general = view ? view->itemDelegate() : nullptr;
        if (general && general != this)
            return general->helpEvent(event, view, option, index);
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
};

void drawStatesBesideTexts(QTreeWidget *list, int column)
{
    if (!dynamic_cast<StateCellDelegate *>(list->itemDelegateForColumn(column)))
        list->setItemDelegateForColumn(column, new StateCellDelegate(list));
}

} // namespace

QIcon dotIcon(const QColor &colour)
{
    QIcon icon;
    for (const int side : {12, 24}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal inset = side / 6.0;
        painter.setPen(QPen(colour.darker(125), side / 12.0));
        painter.setBrush(colour);
        painter.drawEllipse(QRectF(inset, inset, side - 2 * inset, side - 2 * inset));
        icon.addPixmap(pixmap);
        // The same colour in a selected row: the mark is the state, not a selection tint.
        icon.addPixmap(pixmap, QIcon::Selected);
    }
    return icon;
}

void setStateIcons(QTreeWidget *list, int column, const QStringList &texts, const QList<QIcon> &icons)
{
    if (column >= list->columnCount())
        return;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = list->topLevelItem(i);
        const qsizetype index = texts.indexOf(item->text(column));
        item->setIcon(column, index >= 0 && index < icons.size() ? icons[index] : QIcon());
    }
    drawStatesBesideTexts(list, column);
    restretchColumns(list); // the column makes room for the marks
}

void setColumnIcon(QTreeWidget *list, int column, const QIcon &icon)
{
    if (column >= list->columnCount())
        return;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        list->topLevelItem(i)->setIcon(column, icon);
    drawStatesBesideTexts(list, column);
    restretchColumns(list);
}

} // namespace vantrell::client
