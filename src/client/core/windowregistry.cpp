#include "client/core/windowregistry.h"

#include <array>

namespace vantrell::client {

namespace {

std::array<QPointer<QWidget>, std::size_t(WindowId::Count)> &loadedWindows()
{
    static std::array<QPointer<QWidget>, std::size_t(WindowId::Count)> windows;
    return windows;
}

} // namespace

void WindowRegistry::set(WindowId id, QWidget *window)
{
    if (id == WindowId::Count)
        return;
    loadedWindows()[std::size_t(id)] = window;
}

QWidget *WindowRegistry::get(WindowId id)
{
    if (id == WindowId::Count)
        return nullptr;
    return loadedWindows()[std::size_t(id)].data();
}

void WindowRegistry::close(WindowId id)
{
    QPointer<QWidget> window = get(id);
    if (!window)
        return;
    // Unloaded at once, so that code running before the deferred delete already sees
    // the window as gone. The close request is not sent: a window that answers it with
    // a question (the main window) must not ask when the program closes it.
    loadedWindows()[std::size_t(id)] = nullptr;
    window->hide();
    window->deleteLater();
}

} // namespace vantrell::client
