#pragma once

// The order windows that the order page opens. They live in their own modules and
// register their openers here when they are linked into the program; until then the
// page only records which order is to be viewed.

#include <QString>
#include <functional>

class QWidget;

namespace vantrell::client {

using WindowOpener = std::function<void(QWidget *owner)>;

// The order whose viewing window is (to be) open: column 0 of the row it came from.
QString viewedOrderId();

// Sets the viewed order and opens the order viewing window (modal, owned by `owner`).
void openOrderViewer(QWidget *owner, const QString &orderId);
void setOrderViewerOpener(WindowOpener opener);

// Opens the order placing window for a purchaser.
void openOrderPlacing(QWidget *owner);
void setOrderPlacingOpener(WindowOpener opener);

} // namespace vantrell::client
