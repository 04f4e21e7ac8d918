#pragma once

// The goods authorisation window lives with the goods windows; it registers its opener
// here when it is linked into the program, so the partner page does not depend on it.
// Until an opener is registered the 商品授权 button does nothing.

#include <functional>

class QWidget;

namespace vantrell::client {

// Opens the goods authorisation window for the partner page (`owner` is the main window).
void openGrantWindow(QWidget *owner);
void setGrantWindowOpener(std::function<void(QWidget *owner)> opener);

} // namespace vantrell::client
