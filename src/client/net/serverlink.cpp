#include "client/net/serverlink.h"

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/text.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/request.h"
#include "vantrell_config.h"

#include <QFile>
#include <QTimer>
#include <QWidget>
#include <utility>

namespace vantrell::client {

ServerLink &ServerLink::instance()
{
    static ServerLink link;
    return link;
}

ServerLink::ServerLink() = default;

void ServerLink::connectAndAnnounce(Ready ready)
{
    if (m_connecting) {
        if (ready)
            m_waiting.append(std::move(ready));
        return;
    }
    AppState &state = appState();
    if (state.connected) {
        if (ready)
            ready(true);
        return;
    }
    if (ready)
        m_waiting.append(std::move(ready));
    m_connecting = true;
    // A connection that was lost may still be finishing its teardown.
    if (m_client.isRunning())
        m_client.disconnect();

    // Events of an earlier connection that are still queued must not act on this one.
    const quint64 connection = ++m_connection;
    if (!state.serverSettingsError.isEmpty()) {
        messageBoxes().show(nullptr, state.serverSettingsError, StyleError, state.appTitle);
        finishConnect(false);
        return;
    }
    net::TlsOptions tls;
    tls.enabled = state.serverTls;
    tls.pinnedCertFile = QFile::encodeName(state.serverCertFile).toStdString();
    tls.serverName = state.serverName.toStdString();
    m_client.setTls(std::move(tls));
    const bool started =
        !state.serverHost.isEmpty() &&
        m_client.connectAsync(
            state.serverHost.toStdString(), state.serverPort,
            [this, connection](const net::Event &event) { onEvent(event, connection); },
            [this, connection](bool ok, net::ConnectError why) {
                // A worker thread: the result is handled on the GUI thread, ahead of
                // any event of the new connection.
                QMetaObject::invokeMethod(
                    this, [this, connection, ok, why] { onConnectDone(connection, ok, why); },
                    Qt::QueuedConnection);
            },
            m_connectTimeoutMs);
    if (!started)
        onConnectDone(connection, false, net::ConnectError::NotStarted);
}

void ServerLink::onConnectDone(quint64 connection, bool ok, net::ConnectError why)
{
    // A connect abandoned by disconnect() or overtaken by a newer one.
    if (connection != m_connection || !m_connecting)
        return;
    AppState &state = appState();
    if (!ok) {
        // A server that cannot prove who it is is not "unreachable": the user is told
        // to call for help rather than to check the network.
        const char *text = net::RequestClient::isCertificateError(why) ? config::kCertificateErrorText
                                                                       : config::kConnectErrorText;
        messageBoxes().show(nullptr, QString::fromUtf8(text), StyleError, state.appTitle);
        finishConnect(false);
        return;
    }
    state.connected = true;
    sendRequest(QStringLiteral("版本验证_验证"),
                RequestFields().add(QStringLiteral("版本号"), state.programVersion).bytes());
    // The server gets a moment with the version check before the caller's request.
    QTimer::singleShot(50, this, [this, connection] {
        if (connection == m_connection && m_connecting)
            finishConnect(appState().connected);
    });
}

void ServerLink::finishConnect(bool connected)
{
    m_connecting = false;
    const QList<Ready> waiting = std::exchange(m_waiting, {});
    for (const Ready &ready : waiting)
        ready(connected);
}

bool ServerLink::sendRequest(const QString &name, const QByteArray &fields)
{
    QByteArray payload = toGbk(name);
    payload.append('|');
    payload.append(fields);
    if (m_tap && m_tapReplaces) {
        m_tap(payload);
        return true;
    }
    const bool queued = m_client.send(std::string_view(payload.constData(), std::size_t(payload.size())));
    if (queued && m_tap)
        m_tap(payload);
    return queued;
}

void ServerLink::deferGuiCall(std::function<void()> routine)
{
    if (!routine)
        return;
    // Work queued before an update began is dropped with the program that ends.
    QMetaObject::invokeMethod(
        this,
        [this, routine = std::move(routine)] {
            if (m_handlingReplies)
                routine();
        },
        Qt::QueuedConnection);
}

void ServerLink::deferMessageBox(const QString &text, int style, const QString &caption)
{
    QMetaObject::invokeMethod(
        this,
        [this, message = PendingMessage{text, style, caption}] {
            m_pendingMessages.append(message);
            showPendingMessages();
        },
        Qt::QueuedConnection);
}

void ServerLink::showPendingMessages()
{
    // A box runs its own event loop; a box requested meanwhile waits for this one to be
    // closed instead of opening on top of it, so the user reads them in order.
    if (m_showingMessage)
        return;
    m_showingMessage = true;
    while (!m_pendingMessages.isEmpty() && m_handlingReplies) {
        const PendingMessage message = m_pendingMessages.takeFirst();
        messageBoxes().show(nullptr, message.text, message.style, message.caption);
    }
    m_showingMessage = false;
}

void ServerLink::connectionLostReset()
{
    backToLogin(true);
}

void ServerLink::logOut()
{
    dropConnection();
    backToLogin(false);
}

void ServerLink::dropConnection()
{
    ++m_connection;
    disconnect();
}

void ServerLink::backToLogin(bool tellLost)
{
    appState().connected = false;
    if (!WindowRegistry::isLoaded(WindowId::Main))
        return;

    static constexpr WindowId kClosingOrder[] = {
        WindowId::UserMenu,
        WindowId::PersonalCentre,
        WindowId::Registration,
        WindowId::ChangePassword,
        WindowId::CooperationApplication,
        WindowId::GoodsEditing,
        WindowId::SupplierDropDown,
        WindowId::GoodsAuthorisation,
        WindowId::OrderPlacing,
        WindowId::GoodsChoosing,
        WindowId::OrderViewing,
        WindowId::FreightSettings,
        WindowId::FinanceReconciliation,
        WindowId::StatementCreation,
    };
    for (WindowId id : kClosingOrder)
        WindowRegistry::close(id);

    QWidget *login = WindowRegistry::get(WindowId::Login);
    if (tellLost) {
        const QString caption = login ? login->windowTitle() : appState().appTitle;
        messageBoxes().show(nullptr, QString::fromUtf8(config::kConnectionLostText), StyleError, caption);
    }

    WindowRegistry::close(WindowId::Main);
    login = WindowRegistry::get(WindowId::Login);
    if (login) {
        if (login->windowOpacity() < 1.0)
            login->setWindowOpacity(1.0);
        login->showNormal();
        login->raise();
        login->activateWindow();
    }
}

void ServerLink::disconnect()
{
    m_client.disconnect();
    appState().connected = false;
    if (m_connecting)
        finishConnect(false);
}

void ServerLink::setRequestTap(std::function<void(const QByteArray &)> tap, bool replace)
{
    m_tap = std::move(tap);
    m_tapReplaces = m_tap && replace;
}

void ServerLink::deliver(const std::string &payload)
{
    if (!m_handlingReplies)
        return;
    ReplyDispatcher::instance().handle(payload);
}

void ServerLink::onEvent(const net::Event &event, quint64 connection)
{
    // Dispatcher worker: nothing here may touch a widget or the program state. Queued
    // invocations run on the GUI thread in the order they were posted.
    if (event.kind == net::Event::ConnectionLost) {
        QMetaObject::invokeMethod(
            this,
            [this, connection] {
                if (connection != m_connection)
                    return;
                appState().connected = false;
                emit connectionLost();
                if (m_handlingReplies)
                    connectionLostReset();
            },
            Qt::QueuedConnection);
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, connection, payload = event.payload] {
            if (connection == m_connection)
                deliver(payload);
        },
        Qt::QueuedConnection);
}

} // namespace vantrell::client
