#pragma once

// Creating an account: checks the input, connects and sends the registration request.

#include <QDialog>
#include <QString>

namespace Ui {
class RegistrationWindow;
}

namespace vantrell::client {

class RegistrationWindow final : public QDialog
{
    Q_OBJECT
public:
    explicit RegistrationWindow(QWidget *parent = nullptr);
    ~RegistrationWindow() override;

    void submit();

private:
    bool refuse(const QString &message, QWidget *focus);
    // 注册 is off and says so while the connect for the registration is under way.
    void showConnecting(bool on);

    Ui::RegistrationWindow *m_ui;
    QString m_submitText; // the button's own text while it says that it is connecting
};

} // namespace vantrell::client
