#pragma once

// Routes each reply: version, heartbeat and notices to the service routines, account
// results in place, business replies to the handler registered for their catalogue
// entry (protocol/catalogue.h). Runs on the GUI thread, one reply at a time, in
// arrival order.

#include "protocol/catalogue.h"

#include <QString>
#include <array>
#include <functional>
#include <string>
#include <vector>

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

    ReplyDispatcher() = default;
    ReplyDispatcher(const ReplyDispatcher &) = delete;
    ReplyDispatcher &operator=(const ReplyDispatcher &) = delete;

    // The program's dispatcher, the one the server link delivers to.
    static ReplyDispatcher &instance();

    // The handler of a business reply; it runs only while the main window is loaded and
    // checks that its own window is. Throws std::logic_error for a second handler of the
    // same reply and for the replies the dispatcher routes itself.
    void on(protocol::Reply id, Handler handler);

    // True when a reply of this kind reaches something: a route of the dispatcher's own
    // or a registered handler.
    bool routes(protocol::Reply id) const;
    // The version, heartbeat, notice and account replies (groups 发现版本, 心跳包,
    // 提示信息, 登陆系统), which no screen registers for.
    static bool routesItself(protocol::Reply id);

    // Account results of the group "登陆系统" that other modules complete:
    // the main window opener (login success) and the password-changed routine.
    void setMainWindowOpener(std::function<void()> opener);
    void setPasswordChangedRoutine(std::function<void()> routine);

    // Forgets every handler and both routines.
    void clear();

    void handle(const std::string &payload);

private:
    void handleAccountResult(const Reply &reply);

    std::array<Handler, protocol::kReplies.size()> m_handlers;
    std::function<void()> m_openMainWindow;
    std::function<void()> m_passwordChanged;
};

// Has every domain register its reply handlers on `dispatcher`; creates no window.
void registerAllHandlers(ReplyDispatcher &dispatcher);
// The same on the program's dispatcher, replacing what it held; called at start-up.
void registerAllHandlers();

// Catalogue replies the client deliberately reads nowhere (none today).
std::vector<protocol::Reply> unroutedByDesign();

} // namespace vantrell::client
