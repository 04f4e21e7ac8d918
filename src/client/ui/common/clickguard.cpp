#include "client/ui/common/clickguard.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace vantrell::client {

void clickGuard(std::initializer_list<QWidget *> controls)
{
    for (QWidget *control : controls) {
        if (!control)
            continue;
        control->setEnabled(false);
        QTimer::singleShot(kClickGuardMs, control, [guarded = QPointer<QWidget>(control)] {
            if (guarded)
                guarded->setEnabled(true);
        });
    }
}

} // namespace vantrell::client
