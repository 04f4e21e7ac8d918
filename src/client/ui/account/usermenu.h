#pragma once

// The small menu that hangs below the user button of the main window: the user name
// and the account actions. It closes itself when it loses the focus, and on Esc; the
// arrow keys move between its items and Enter picks one.

#include <QUrl>
#include <QWidget>
#include <functional>

class QLabel;

namespace vantrell::client {

class UserMenu final : public QWidget
{
    Q_OBJECT
public:
    explicit UserMenu(QWidget *mainWindow);
    ~UserMenu() override;

    // True right after the menu closed itself on losing the focus, so that the click
    // on the user button that took the focus does not open it again.
    static bool closedJustNow();

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void openPersonalCentre();
    void openChangePassword();

    QLabel *m_userName = nullptr;
    bool m_wasActive = false;
    bool m_closingByKey = false;
};

// Hands a web address to the system (default browser); tests replace it. An empty address
// (the server was given none) or one the system cannot open is said in a box, titled
// `caption`, rather than left without an answer.
void openAddress(const QString &address, const QString &caption);
// The opener returns whether the page opened; empty restores the real one.
void setAddressOpener(std::function<bool(const QUrl &)> opener);

} // namespace vantrell::client
