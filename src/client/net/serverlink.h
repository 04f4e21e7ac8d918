#pragma once

// The program layer over the request client: connect and announce, send request, the
// event routine, deferred GUI calls and message boxes, and the connection-lost reset.
//
// The request client's dispatcher worker hands every event to the GUI thread (queued,
// in arrival order); all reply handling and every widget change happen there.
// Deferred calls and deferred message boxes are queued in order, none is dropped.

#include "client/net/requestclient.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QWidget;

namespace vantrell::client {

class ServerLink : public QObject
{
    Q_OBJECT
public:
    static ServerLink &instance();

    // Told whether the link is connected and announced, so the caller's request may go.
    using Ready = std::function<void(bool connected)>;

    // GUI thread; never waits for the network. When connected, calls `ready(true)` at
    // once. Otherwise starts connecting to the configured host and port (at most the
    // connect timeout; over TLS when the settings say so, the certificate verified
    // against the pinned file or the system store) and returns; the result comes back
    // on the GUI thread: on success it sets the connected flag, sends the version check
    // and after a 50 ms pause calls `ready(true)`; on failure it shows an error box (error
    // icon, app title) and calls `ready(false)`: the certificate error when the server's
    // certificate could not be verified, the connect error otherwise, and the settings
    // problem, without trying to connect, when the server settings are unusable. A call
    // while a connect is under way starts no second one; its `ready` waits for the same
    // result.
    void connectAndAnnounce(Ready ready = {});
    bool isConnecting() const { return m_connecting; }
    // Tests shorten the wait for a server that does not answer.
    void setConnectTimeout(int ms) { m_connectTimeoutMs = ms; }
    int connectTimeout() const { return m_connectTimeoutMs; }

    // Payload = name + "|" + fields. False when the client is stopped (nothing queued).
    bool sendRequest(const QString &name, const QByteArray &fields = {});

    // Runs `routine` on the GUI thread after the current event has been handled.
    void deferGuiCall(std::function<void()> routine);
    // Shows a message box on the GUI thread after the current event.
    void deferMessageBox(const QString &text, int style, const QString &caption);

    // Back to the login window: closes the secondary windows in their fixed order,
    // shows the connection-lost box, closes the main window, shows the login window.
    void connectionLostReset();
    // The user's own way out (after a password change): the connection is dropped on
    // purpose and the same road leads back to the login window, without the
    // connection-lost box, which is for losses only.
    void logOut();
    // Drops the connection on purpose: whatever of it is still queued, its loss included,
    // is ignored. logOut() starts with this; a caller that shows a box first drops the
    // connection before it, so that the box's loop cannot take the end for a loss.
    void dropConnection();

    // Also abandons a connect under way; its waiting callers are told `false`.
    void disconnect();
    net::RequestClient &client() { return m_client; }

    // Tests: sees every payload that sendRequest queues (after it was queued or, with
    // `replace` true, instead of queuing it; sendRequest then returns true).
    void setRequestTap(std::function<void(const QByteArray &payload)> tap, bool replace);

    // The reply handling entry for one payload (GUI thread); used by the event
    // routine and by tests that inject replies.
    void deliver(const std::string &payload);

    // False from the moment the program starts ending by an update: replies are dropped.
    void setHandlingReplies(bool on) { m_handlingReplies = on; }
    bool isHandlingReplies() const { return m_handlingReplies; }

signals:
    void connectionLost();

private:
    ServerLink();
    void onEvent(const net::Event &event, quint64 connection); // dispatcher worker
    void showPendingMessages();
    void onConnectDone(quint64 connection, bool ok, net::ConnectError why);
    void finishConnect(bool connected);
    void backToLogin(bool tellLost);

    struct PendingMessage
    {
        QString text;
        int style = 0;
        QString caption;
    };

    net::RequestClient m_client;
    std::function<void(const QByteArray &)> m_tap;
    bool m_tapReplaces = false;
    bool m_handlingReplies = true;
    QList<PendingMessage> m_pendingMessages;
    bool m_showingMessage = false;
    quint64 m_connection = 0;  // number of the current connection; GUI thread only
    bool m_connecting = false; // from the start of a connect to the end of its pause
    QList<Ready> m_waiting;    // callers of connectAndAnnounce told when it ends
    int m_connectTimeoutMs = net::RequestClient::kConnectTimeoutMs;
};

} // namespace vantrell::client
