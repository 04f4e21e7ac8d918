#pragma once

// The start-up window: sign in, open the registration window, password recovery.
//
// While a login waits, 登录 is off and says for what: "正在连接服务器..." during the
// connect, "正在登录..." once the login has gone, until the server answers (the main
// window opens, or a notice says why not), the connection ends or kLoginWaitMs pass
// (then a box says that the server did not answer).

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
    // The login has gone and no answer came yet.
    bool isWaitingForLogin() const;

    static constexpr int kLoginWaitMs = 20000;
    void setLoginWait(int ms); // tests shorten it

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void fade(int from, int to, std::function<void()> done);
    void focusEdit(QWidget *edit);
    // 登录 off with `text` on it; an empty text gives the button back.
    void showBusy(const QString &text);

    Ui::LoginWindow *m_ui;
    QTimer *m_fadeTimer;
    QTimer *m_loginWait;
    int m_fadeStep = 0;
    bool m_ending = false;
    QString m_loginText; // the button's own text while it says what it waits for
};

} // namespace vantrell::client
