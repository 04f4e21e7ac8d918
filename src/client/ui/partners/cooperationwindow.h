#pragma once

// A purchaser's application for cooperation: the suppliers matching a keyword, and the
// application for the one picked. The server answers an application with a notice only,
// so the window stays open for the next one.

#include "client/ui/common/framedwindow.h"

#include <memory>
#include <string_view>

class QTreeWidget;

namespace Ui {
class CooperationWindow;
}

namespace vantrell::client {

class CooperationWindow final : public FramedWindow
{
    Q_OBJECT
public:
    explicit CooperationWindow(QWidget *mainWindow);
    ~CooperationWindow() override;

    QTreeWidget *list() const;
    void search();
    void fill(std::string_view gbkText);
    void apply();

private:
    std::unique_ptr<Ui::CooperationWindow> m_ui;
};

} // namespace vantrell::client
