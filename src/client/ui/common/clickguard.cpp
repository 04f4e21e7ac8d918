#include "client/ui/common/clickguard.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace vantrell::client {

void clickGuard(std::initializer_list<QWidget *> controls)
{
    for (QWidget *control : controls) {
        if (!control)
            continue;
        // Disabling the focused control hands the focus on to the next one; it comes back
        // with the control, so that Enter in a search or page box leaves the caret there,
        // unless the user has gone on somewhere else meanwhile.
        QPointer<QWidget> focused = QApplication::focusWidget();
        if (focused && focused != control && !control->isAncestorOf(focused))
            focused = nullptr;
        control->setEnabled(false);
        QPointer<QWidget> movedTo = focused ? QApplication::focusWidget() : nullptr;
        QTimer::singleShot(kClickGuardMs, control, [guarded = QPointer<QWidget>(control), focused, movedTo] {
            if (!guarded)
                return;
            guarded->setEnabled(true);
            if (focused && focused->isVisible() && QApplication::focusWidget() == movedTo)
                focused->setFocus(Qt::OtherFocusReason);
        });
    }
}

} // namespace vantrell::client
