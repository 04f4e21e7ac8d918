#include "client/core/program.h"

#include <QApplication>
#include <QWidget>

namespace vantrell::client {

namespace {

std::function<void(int)> &ender()
{
    static std::function<void(int)> routine;
    return routine;
}

} // namespace

void endProgram(int exitCode)
{
    if (ender()) {
        ender()(exitCode);
        return;
    }
    // Hidden first: a modal box or a fade could otherwise stay on screen until every
    // nested loop has unwound.
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows)
        window->hide();
    QCoreApplication::exit(exitCode);
}

void setProgramEnder(std::function<void(int)> routine)
{
    ender() = std::move(routine);
}

} // namespace vantrell::client
