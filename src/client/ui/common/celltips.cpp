#include "client/ui/common/celltips.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace vantrell::client {

namespace {

class CutTextTips final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override
    {
        if (!event || !view || event->type() != QEvent::ToolTip || !index.isValid() ||
            index.data(Qt::ToolTipRole).isValid())
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        if (item.text.isEmpty() || fits(item, view))
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        QToolTip::showText(event->globalPos(), plainToolTip(item.text), view->viewport(), option.rect);
        return true;
    }

private:
    static bool fits(const QStyleOptionViewItem &item, const QWidget *view)
    {
        if (item.text.contains(QLatin1Char('\n')) || item.text.contains(QChar::LineSeparator))
            return false;
        const QStyle *style = view->style();
        const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &item, view);
        // The margin the item view keeps on either side of a cell's text.
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
        return item.fontMetrics.horizontalAdvance(item.text) <= textRect.width() - 2 * margin;
    }
};

} // namespace

void showCutTextInToolTips(QAbstractItemView *view)
{
    if (view)
        view->setItemDelegate(new CutTextTips(view));
}

QString plainToolTip(const QString &text)
{
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

} // namespace vantrell::client
