#include "client/net/dispatcher.h"

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/text.h"
#include "client/core/windowregistry.h"
#include "client/net/serverlink.h"
#include "client/net/services.h"
#include "protocol/fieldtext.h"
#include "protocol/gbk.h"

#include <QHash>
#include <stdexcept>

namespace vantrell::client {

namespace {

constexpr std::size_t kShortTextBytes = 20000;

// Catalogue replies by name, less the ones the dispatcher routes by their group.
const QHash<QString, protocol::Reply> &businessReplies()
{
    static const QHash<QString, protocol::Reply> table = [] {
        QHash<QString, protocol::Reply> names;
        for (const protocol::ReplyEntry &reply : protocol::kReplies) {
            if (!ReplyDispatcher::routesItself(reply.id))
                names.insert(QString::fromUtf8(reply.name.data(), qsizetype(reply.name.size())), reply.id);
        }
        return names;
    }();
    return table;
}

} // namespace

std::vector<protocol::Reply> unroutedByDesign()
{
    return {};
}

QString Reply::value(const QString &key) const
{
    if (key.isEmpty())
        return {};
    return fromGbk(protocol::valueOf(shortText, toGbkString(key)));
}

ReplyDispatcher &ReplyDispatcher::instance()
{
    static ReplyDispatcher dispatcher;
    return dispatcher;
}

void ReplyDispatcher::on(protocol::Reply id, Handler handler)
{
    const protocol::ReplyEntry &reply = protocol::entry(id);
    if (routesItself(id))
        throw std::logic_error("the dispatcher routes " + std::string(reply.ident) + " itself");
    Handler &slot = m_handlers[std::size_t(id)];
    if (slot)
        throw std::logic_error("a second handler for " + std::string(reply.ident));
    slot = std::move(handler);
}

bool ReplyDispatcher::routes(protocol::Reply id) const
{
    if (id == protocol::Reply::PasswordChanged)
        return bool(m_passwordChanged);
    return routesItself(id) || bool(m_handlers[std::size_t(id)]);
}

bool ReplyDispatcher::routesItself(protocol::Reply id)
{
    const std::string_view name = protocol::entry(id).name;
    const std::string_view group = name.substr(0, name.find('_'));
    return group == "发现版本" || group == "心跳包" || group == "提示信息" || group == "登陆系统";
}

void ReplyDispatcher::setMainWindowOpener(std::function<void()> opener)
{
    m_openMainWindow = std::move(opener);
}

void ReplyDispatcher::setPasswordChangedRoutine(std::function<void()> routine)
{
    m_passwordChanged = std::move(routine);
}

void ReplyDispatcher::clear()
{
    m_handlers = {};
    m_openMainWindow = {};
    m_passwordChanged = {};
}

void ReplyDispatcher::handle(const std::string &payload)
{
    // In GBK 0x7C can also be the second byte of a Chinese character, which must not
    // split the name.
    const std::size_t bar = protocol::findGbkAscii(payload, '|');
    const std::string_view whole(payload);
    const std::string_view nameBytes =
        bar == std::string_view::npos ? std::string_view() : whole.substr(0, bar);
    const std::string_view fields = bar == std::string_view::npos ? whole : whole.substr(bar + 1);

    // Split on the text, not on the bytes: "_" (0x5F) is also a possible second byte.
    const QString name = fromGbk(nameBytes);
    Reply reply;
    const qsizetype underscore = name.indexOf(QLatin1Char('_'));
    if (underscore < 0) {
        reply.group = name;
    } else {
        reply.group = name.left(underscore);
        const qsizetype next = name.indexOf(QLatin1Char('_'), underscore + 1);
        reply.action = name.mid(underscore + 1, next < 0 ? -1 : next - underscore - 1);
    }
    reply.fullText = std::string(fields);
    reply.shortText = std::string(fields.substr(0, kShortTextBytes));

    if (reply.group == QStringLiteral("发现版本")) {
        Services::update(reply);
    } else if (reply.group == QStringLiteral("心跳包")) {
        Services::answerHeartbeat();
    } else if (reply.group == QStringLiteral("提示信息")) {
        Services::showNotice(reply.action, reply);
    } else if (reply.group == QStringLiteral("登陆系统")) {
        handleAccountResult(reply);
    } else if (WindowRegistry::isLoaded(WindowId::Main)) {
        // Matched as group "_" action: anything after a second "_" does not count.
        const QString key = underscore < 0 ? reply.group : reply.group + QLatin1Char('_') + reply.action;
        const auto found = businessReplies().constFind(key);
        if (found != businessReplies().constEnd()) {
            if (const Handler &handler = m_handlers[std::size_t(*found)])
                handler(reply);
        }
    }
}

void ReplyDispatcher::handleAccountResult(const Reply &reply)
{
    ServerLink &link = ServerLink::instance();
    if (reply.action == QStringLiteral("登陆成功")) {
        AppState &state = appState();
        state.profileName = reply.value(QStringLiteral("姓名"));
        state.profileCompany = reply.value(QStringLiteral("公司"));
        state.profileType = reply.value(QStringLiteral("类型"));
        state.lastLoginTime = reply.value(QStringLiteral("上次登陆时间"));
        if (!WindowRegistry::isLoaded(WindowId::Main) && m_openMainWindow) {
            link.deferGuiCall([this] {
                // A second success queued before this ran must not open a second window.
                if (!WindowRegistry::isLoaded(WindowId::Main) && m_openMainWindow)
                    m_openMainWindow();
            });
        }
    } else if (reply.action == QStringLiteral("账号注册成功")) {
        WindowRegistry::close(WindowId::Registration);
        link.deferMessageBox(QStringLiteral("账号注册成功,请保管好账号信息!"), StyleInformation,
                             QStringLiteral("注册账号"));
    } else if (reply.action == QStringLiteral("密码修改成功")) {
        if (WindowRegistry::isLoaded(WindowId::ChangePassword) && m_passwordChanged)
            link.deferGuiCall([this] {
                if (m_passwordChanged)
                    m_passwordChanged();
            });
    }
}

} // namespace vantrell::client
