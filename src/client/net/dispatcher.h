#pragma once

// Routes each reply: version, heartbeat and notices to the service routines, account
// results in place, business replies ("基础通讯") through the action table to the
// handler of the screen that waits for them. Runs on the GUI thread, one reply at a
// time, in arrival order.

#include <QHash>
#include <QString>
#include <functional>
#include <string>

namespace vantrell::client {

struct Reply
{
    QString group;
    QString action;
    std::string shortText; // GBK field text cut to its first 20000 bytes
    std::string fullText;  // GBK field text, complete

    // Value lookup in the short text, converted from GBK.
    QString value(const QString &key) const;
};

class ReplyDispatcher
{
public:
    using Handler = std::function<void(const Reply &)>;

    static ReplyDispatcher &instance();

    // Business replies of the group "基础通讯". One handler per action; a second
    // registration replaces the first. Handlers check that their window is loaded.
    void addAction(const QString &action, Handler handler);
    bool hasAction(const QString &action) const;

    // Account results of the group "登陆系统" that other modules complete:
    // the main window opener (login success) and the password-changed routine.
    void setMainWindowOpener(std::function<void()> opener);
    void setPasswordChangedRoutine(std::function<void()> routine);

    void handle(const std::string &payload);

private:
    void handleAccountResult(const Reply &reply);

    QHash<QString, Handler> m_actions;
    std::function<void()> m_openMainWindow;
    std::function<void()> m_passwordChanged;
};

// Registers every screen's reply handlers; called once at start-up.
void registerAllHandlers();

} // namespace vantrell::client
