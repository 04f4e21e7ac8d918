#include "client/ui/common/stateicons.h"

#include <QPainter>
#include <QPixmap>
#include <QTreeWidget>

namespace vantrell::client {

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
}

void setColumnIcon(QTreeWidget *list, int column, const QIcon &icon)
{
    if (column >= list->columnCount())
        return;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        list->topLevelItem(i)->setIcon(column, icon);
}

} // namespace vantrell::client
