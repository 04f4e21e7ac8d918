#pragma once

// The start-up window: sign in, open the registration window, password recovery.

#include <QString>
#include <QWidget>
#include <functional>

class QTimer;

namespace Ui {
class LoginWindow;
}

namespace vantrell::client {

class LoginWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit LoginWindow(QWidget *parent = nullptr);
    ~LoginWindow() override;

    // The creation steps: skin, title and version, fade-in, server address, saved
    // account, version record with the shortcut offer.
    void start();

    // Remembered account of the user-data file into the boxes, and back.
    void loadAccount();
    void saveAccount();

    void startLogin();
    void openRegistration();
    void showPasswordRecovery();
    // Fades out, then ends the program with 0.
    void closeWithFade();

    bool isFading() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void fade(int from, int to, std::function<void()> done);
    void focusEdit(QWidget *edit);
    // 登录 is off and says so while the connect for a login is under way.
    void showConnecting(bool on);

    Ui::LoginWindow *m_ui;
    QTimer *m_fadeTimer;
    int m_fadeStep = 0;
    bool m_ending = false;
    QString m_loginText; // the button's own text while it says that it is connecting
};

} // namespace vantrell::client
