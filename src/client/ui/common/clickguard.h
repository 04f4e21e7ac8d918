#pragma once

// Keeps one click from sending a request twice: the controls are disabled for 350 ms
// and come back by themselves; the event loop keeps running meanwhile.

#include <initializer_list>

class QWidget;

namespace vantrell::client {

inline constexpr int kClickGuardMs = 350;

void clickGuard(std::initializer_list<QWidget *> controls);

} // namespace vantrell::client
