#include "client/ui/common/keyboard.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>

#include <QWidget>
#include <algorithm>

namespace vantrell::client {

namespace {

class EnterPresses final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || key->isAutoRepeat())
            return false;
        auto *button = static_cast<QAbstractButton *>(watched);
        if (!button->isEnabled() || !button->isVisible())
            return false;
        button->click();
        return true;
    }
};

class EnterOpens final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        auto *list = static_cast<QTreeWidget *>(watched);
        QTreeWidgetItem *row = list->currentItem();
        if (!row || row->isDisabled() || !row->isSelected())
            return false;
        emit list->itemDoubleClicked(row, std::max(list->currentColumn(), 0));
        return true;
    }
};

} // namespace

void enterOpensRows(QTreeWidget *list)
{
    if (list)
        list->installEventFilter(new EnterOpens(list));
}

void pressButtonsOnEnter(QWidget *window)
{
    if (!window)
        return;
    const QString name = QStringLiteral("vantrellEnterPresses");
    QObject *filter = window->findChild<QObject *>(name, Qt::FindDirectChildrenOnly);
    if (!filter) {
        filter = new EnterPresses(window);
        filter->setObjectName(name);
    }
    const auto buttons = window->findChildren<QAbstractButton *>();
    for (QAbstractButton *button : buttons) {
        // Check and radio boxes keep Space; Enter there belongs to the window.
        if (qobject_cast<QPushButton *>(button) || qobject_cast<QToolButton *>(button))
            button->installEventFilter(filter);
    }
}

QString withKeys(const QString &tip, const QKeySequence &keys)
{
    return tip + QStringLiteral(" (") + keys.toString(QKeySequence::NativeText) + QLatin1Char(')');
}

} // namespace vantrell::client
