#pragma once

// The one connection to the server: length-framed messages over TCP, served by three
// workers. The receiver reads and reassembles, the sender frames and writes, the
// dispatcher hands each received event to the event routine. Both queues are FIFO,
// so requests leave and replies arrive in the order they were queued.
//
// With TLS switched on (setTls) the same frames travel inside a TLS 1.2+ session
// (OpenSSL) whose handshake is part of the connect. The server's certificate is always
// verified; a connect whose certificate does not verify fails with its own reason and
// is never retried in the clear. Plain TCP is the default.
//
// No Qt here; the program layer (serverlink.h) moves events to the GUI thread.

#include "protocol/frame.h"

#include <atomic>
#include <concepts>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace vantrell::net {

struct Event
{
    enum Kind : int
    {
        ConnectionLost = 0,
        Data = 1
    };
    Kind kind = Data;
    std::string payload; // empty for ConnectionLost
    std::string number;  // four digit characters of the frame; empty for ConnectionLost
};

// How connects made after setTls() protect the connection.
struct TlsOptions
{
    bool enabled = false;
    // PEM file with the certificate(s) to trust instead of the system's trusted
    // certificates: the server's own certificate (pinned) or the one that issued it.
    // Empty: the system's trusted certificates.
    std::string pinnedCertFile;
    // Name the certificate must be issued to, also sent as the server name indication
    // (a dotted address is checked against the certificate's IP addresses and not sent).
    // Empty: the host given to connect.
    std::string serverName;
};

// Why a connect failed; None once connected.
enum class ConnectError : int
{
    None = 0,
    NotStarted,            // already running or connecting, bad port, no routine
    Unresolved,            // the host name has no IPv4 address
    Refused,               // refused, unreachable or a socket error
    TimedOut,              // the TCP connect or the TLS handshake took too long
    Cancelled,             // cancelConnect, disconnect or destruction
    CertificateFile,       // the trusted certificate file cannot be read or holds none
    CertificateNotTrusted, // the server's certificate does not verify
    HostNameMismatch,      // it verifies but is issued to another name or address
    HandshakeFailed,       // no TLS session could be agreed (not a TLS server, ...)
};

class ConnectDone;

// A done routine that is told the reason, or only the outcome.
template <class F>
concept ToldWhy =
    !std::same_as<std::remove_cvref_t<F>, ConnectDone> && std::invocable<F &, bool, ConnectError>;
template <class F>
concept ToldOutcome =
    !std::same_as<std::remove_cvref_t<F>, ConnectDone> && std::invocable<F &, bool> && !ToldWhy<F>;

// Told once how a connect started by connectAsync ended. Takes a routine of either form:
// (bool connected) or (bool connected, ConnectError why).
class ConnectDone
{
public:
    ConnectDone() = default;
    ConnectDone(std::nullptr_t) {}
    template <ToldWhy F> ConnectDone(F routine) : m_routine(std::move(routine)) {}
    template <ToldOutcome F>
    ConnectDone(F routine)
        : m_routine(
              [routine = std::move(routine)](bool connected, ConnectError) mutable { routine(connected); })
    {}
    // An empty function stays empty.
    ConnectDone(std::function<void(bool)> routine)
    {
        if (routine)
            m_routine = [routine = std::move(routine)](bool connected, ConnectError) {
                routine(connected);
            };
    }

    explicit operator bool() const { return static_cast<bool>(m_routine); }
    void operator()(bool connected, ConnectError why = ConnectError::None) const
    {
        m_routine(connected, why);
    }

private:
    std::function<void(bool, ConnectError)> m_routine;
};

class RequestClient
{
public:
    using EventRoutine = std::function<void(const Event &)>;

    RequestClient();  // Create: sequence number 10, stopped
    ~RequestClient(); // Destroy: disconnects when running
    RequestClient(const RequestClient &) = delete;
    RequestClient &operator=(const RequestClient &) = delete;

    // How long a connect may take before it is given up.
    static constexpr int kConnectTimeoutMs = 10000;

    // Called once when a connect started by connectAsync ends.
    using ConnectDone = net::ConnectDone;

    // TLS or plain TCP for the connects started from now on; plain until set.
    void setTls(TlsOptions options);
    TlsOptions tls() const;

    // Waits for the connection (at most `timeoutMs`, the TLS handshake included); for
    // worker threads and tests. Fails when already running or connecting, the port is
    // outside 0..65535, the routine is empty, the host cannot be resolved, the connection
    // is refused or does not complete in time, or (TLS) the handshake or the certificate
    // check fails; lastConnectError() then says why. A dotted IPv4 text (four parts of
    // 1-3 digits, each 0..255) is used directly; anything else is resolved as a host name
    // and its first IPv4 address used.
    bool connect(const std::string &host, int port, EventRoutine routine, int timeoutMs = kConnectTimeoutMs);
    // The same connect on a connector thread; returns at once. False, and `done` is never
    // called, when already running or connecting, or the port or routine is invalid.
    // Otherwise `done` is called exactly once, on a worker: with false and the reason when
    // resolving, connecting or the TLS handshake fails, times out or is cancelled; with
    // true by the dispatcher worker before it hands over the first event of the new
    // connection.
    bool connectAsync(const std::string &host, int port, EventRoutine routine, ConnectDone done,
                      int timeoutMs = kConnectTimeoutMs);
    // Why the last connect() failed, or the last connectAsync that was not cancelled
    // (set before its `done` is called); None after a success.
    ConnectError lastConnectError() const;
    // Short English text of a reason, e.g. "certificate not trusted".
    static const char *describe(ConnectError error);
    // The reasons that mean the server's identity could not be verified.
    static bool isCertificateError(ConnectError error);
    // Abandons a connect under way (its `done` reports false); nothing otherwise.
    void cancelConnect();
    bool isConnecting() const;

    // Teardown when running, and cancels a connect under way; nothing when stopped.
    // Never called from the event routine.
    void disconnect();
    // Queues a private copy; false when stopped. True means only "queued".
    bool send(std::string_view payload);

    bool isRunning() const;
    int sequence() const; // last message number used (for tests)

    // Event kind / data of the original interface: kind -1 and false when the
    // client is stopped or there is no event.
    int eventKind(const Event *event) const;
    bool eventData(const Event *event, std::string &out) const;

    // MD5 of the bytes as 32 lowercase hexadecimal digits.
    static std::string textDigest(std::string_view bytes);

    // True for a dotted IPv4 address as defined above.
    static bool isDottedAddress(std::string_view host);

private:
    struct Connection;
    struct Attempt;
    std::shared_ptr<Connection> current() const;
    void receiverLoop(std::shared_ptr<Connection> c);
    void senderLoop(std::shared_ptr<Connection> c);
    void dispatcherLoop(std::shared_ptr<Connection> c);
    void connectorLoop(std::shared_ptr<Attempt> attempt, std::string host, int port, TlsOptions tls,
                       EventRoutine routine, ConnectDone done, int timeoutMs);
    void install(std::shared_ptr<Connection> c); // under m_lifecycle
    void reapFinishedAttempts();                 // under m_lifecycle
    static void teardown(Connection &c, bool fromDispatcher);
    static void reap(Connection &c);

    mutable std::mutex m_lifecycle; // connect / disconnect / destroy
    // Guards the pointer only; send() and the event accessors run on the dispatcher
    // too, so they must not wait for m_lifecycle while a teardown joins that thread.
    mutable std::mutex m_currentGuard;
    std::shared_ptr<Connection> m_connection;
    // Connects under way or winding down; the last is the current one unless cancelled.
    std::shared_ptr<Attempt> m_attempt;
    std::vector<std::shared_ptr<Attempt>> m_attempts;
    TlsOptions m_tls; // under m_lifecycle
    std::atomic<ConnectError> m_lastError{ConnectError::None};
    mutable std::mutex m_encoderGuard;
    protocol::FrameEncoder m_encoder; // used by the sender worker
};

} // namespace vantrell::net
