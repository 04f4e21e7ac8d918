#pragma once

// Creating an account: checks the input, connects and sends the registration request.

#include <QDialog>

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

    Ui::RegistrationWindow *m_ui;
};

} // namespace vantrell::client
