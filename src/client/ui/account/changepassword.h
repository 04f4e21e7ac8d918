#pragma once

// Changing the password: the old one, the new one twice; Enter in any of them saves. On
// success the user logs in again with the new password.

#include "client/ui/common/framedwindow.h"

#include <memory>

namespace Ui {
class ChangePassword;
}

namespace vantrell::client {

class ChangePassword final : public FramedWindow
{
    Q_OBJECT
public:
    explicit ChangePassword(QWidget *mainWindow);
    ~ChangePassword() override;

    void submit();
    bool hasUnsavedInput() const override;

private:
    std::unique_ptr<Ui::ChangePassword> m_ui;
};

// Reply 密码修改成功: the connection is dropped, the box says so and the program returns
// to the login window; a deliberate logout shows no connection-lost box.
void logoutAfterPasswordChange();

} // namespace vantrell::client
