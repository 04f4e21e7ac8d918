#pragma once

// The merchant's own contact data: shown from the server, edited and saved there.

#include "client/ui/common/framedwindow.h"

#include <memory>

namespace Ui {
class PersonalCentre;
}

namespace vantrell::client {

struct Reply;

class PersonalCentre final : public FramedWindow
{
    Q_OBJECT
public:
    explicit PersonalCentre(QWidget *mainWindow);
    ~PersonalCentre() override;

    // Reply 返回个人中心基本资料.
    void fill(const Reply &reply);
    void save();

private:
    std::unique_ptr<Ui::PersonalCentre> m_ui;
};

} // namespace vantrell::client
