#include "client/net/requestclient.h"

#include "protocol/md5.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#pragma comment(lib, "ws2_32.lib")
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace vantrell::net {

namespace {

constexpr int kWaitMs = 1000;
constexpr int kMaxTimeouts = 20;
constexpr std::size_t kReadSize = 10240;
constexpr int kCancelLookMs = 50;    // a waiting connect looks for a cancel this often
constexpr int kTlsWriteSize = 16384; // one TLS record per write call

using Clock = std::chrono::steady_clock;

#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
constexpr int kShutBoth = SD_BOTH;
constexpr int kSendFlags = 0;
using IoResult = int;

int lastError()
{
    return WSAGetLastError();
}
bool wouldBlock(int error)
{
    return error == WSAEWOULDBLOCK;
}
bool interrupted(int error)
{
    return error == WSAEINTR;
}
void closeSocket(Socket s)
{
    closesocket(s);
}

bool setNonBlocking(Socket s)
{
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}

int pollOne(Socket s, short events, int waitMs = kWaitMs)
{
    WSAPOLLFD p{s, events, 0};
    return WSAPoll(&p, 1, waitMs);
}

bool connectPending(int error)
{
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS;
}

// WSAPoll needs version 2.2 of the socket layer.
bool startSocketLayer()
{
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}
void stopSocketLayer()
{
    WSACleanup();
}
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
constexpr int kShutBoth = SHUT_RDWR;
constexpr int kSendFlags = MSG_NOSIGNAL;
using IoResult = ssize_t;

int lastError()
{
    return errno;
}
bool wouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}
bool interrupted(int error)
{
    return error == EINTR;
}
void closeSocket(Socket s)
{
    ::close(s);
}

bool setNonBlocking(Socket s)
{
    const int flags = ::fcntl(s, F_GETFL, 0);
    return flags >= 0 && ::fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
}

int pollOne(Socket s, short events, int waitMs = kWaitMs)
{
    pollfd p{s, events, 0};
    return ::poll(&p, 1, waitMs);
}

// An interrupted connect goes on in the background like one in progress.
bool connectPending(int error)
{
    return error == EINPROGRESS || error == EINTR;
}

bool startSocketLayer()
{
    return true;
}
void stopSocketLayer() {}
#endif

bool resolve(const std::string &host, int port, sockaddr_in &address)
{
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (RequestClient::isDottedAddress(host)) {
        std::uint32_t value = 0;
        std::size_t start = 0;
        for (int part = 0; part < 4; ++part) {
            const std::size_t dot = host.find('.', start);
            const std::size_t end = dot == std::string::npos ? host.size() : dot;
            value = (value << 8) | static_cast<std::uint32_t>(std::stoi(host.substr(start, end - start)));
            start = end + 1;
        }
        address.sin_addr.s_addr = htonl(value);
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return false;
    address.sin_addr = reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return true;
}

void discardSocket(Socket s)
{
    closeSocket(s);
    stopSocketLayer();
}

// Waits until the socket is ready for `events`, looking for a cancel every few
// milliseconds. None when ready.
ConnectError waitForSocket(Socket s, short events, Clock::time_point deadline,
                           const std::atomic<bool> *cancelled)
{
    while (true) {
        if (cancelled && *cancelled)
            return ConnectError::Cancelled;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return ConnectError::TimedOut;
        const int ready = pollOne(s, events, static_cast<int>(std::min<long long>(left, kCancelLookMs)));
        if (ready > 0)
            return ConnectError::None;
        if (ready < 0 && !interrupted(lastError()))
            return ConnectError::Refused;
    }
}

// Resolves the host and connects a non-blocking socket before `deadline`, giving up
// early when `cancelled` turns true. Gives kNoSocket and the reason on failure. Name
// resolution may itself take a while, which is why the program calls this off the GUI
// thread.
Socket openSocket(const std::string &host, int port, Clock::time_point deadline,
                  const std::atomic<bool> *cancelled, ConnectError &why)
{
    why = ConnectError::Refused;
    if (!startSocketLayer())
        return kNoSocket;
    sockaddr_in address;
    if (!resolve(host, port, address)) {
        stopSocketLayer();
        why = ConnectError::Unresolved;
        return kNoSocket;
    }
    const Socket s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == kNoSocket) {
        stopSocketLayer();
        return kNoSocket;
    }
    if (!setNonBlocking(s)) {
        discardSocket(s);
        return kNoSocket;
    }
    if (::connect(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0) {
        why = ConnectError::None;
        return s;
    }
    if (!connectPending(lastError())) {
        discardSocket(s);
        return kNoSocket;
    }
    // Writable means the handshake ended, one way or the other; the socket's pending
    // error tells which.
    why = waitForSocket(s, POLLOUT, deadline, cancelled);
    if (why != ConnectError::None) {
        discardSocket(s);
        return kNoSocket;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&error), &length) != 0 || error != 0) {
        discardSocket(s);
        why = ConnectError::Refused;
        return kNoSocket;
    }
    return s;
}

// --- TLS -------------------------------------------------------------------------------

// A socket BIO of our own: OpenSSL's own one calls write(), which raises SIGPIPE on a
// connection the server has closed; this one sends as the plain connection does.
Socket bioSocket(BIO *bio)
{
    return static_cast<Socket>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
}

int bioWrite(BIO *bio, const char *data, int size)
{
    BIO_clear_retry_flags(bio);
    while (true) {
        const IoResult n = ::send(bioSocket(bio), data, size, kSendFlags);
        if (n >= 0)
            return static_cast<int>(n);
        const int error = lastError();
        if (interrupted(error))
            continue;
        if (wouldBlock(error))
            BIO_set_retry_write(bio);
        return -1;
    }
}

int bioRead(BIO *bio, char *data, int size)
{
    BIO_clear_retry_flags(bio);
    while (true) {
        const IoResult n = ::recv(bioSocket(bio), data, size, 0);
        if (n >= 0)
            return static_cast<int>(n);
        const int error = lastError();
        if (interrupted(error))
            continue;
        if (wouldBlock(error))
            BIO_set_retry_read(bio);
        return -1;
    }
}

int bioPuts(BIO *bio, const char *text)
{
    return bioWrite(bio, text, static_cast<int>(std::strlen(text)));
}

long bioControl(BIO *, int command, long, void *)
{
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

BIO_METHOD *socketBioMethod()
{
    // Made once and kept for the life of the program.
    static BIO_METHOD *const method = [] {
        BIO_METHOD *m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "vantrell socket");
        if (m) {
            BIO_meth_set_write(m, bioWrite);
            BIO_meth_set_read(m, bioRead);
            BIO_meth_set_puts(m, bioPuts);
            BIO_meth_set_ctrl(m, bioControl);
        }
        return m;
    }();
    return method;
}

// The trust anchors of a pinned connect: every certificate of the PEM file. False when
// the file cannot be read or holds none.
bool loadPinned(X509_STORE *store, const std::string &file)
{
    BIO *in = BIO_new_file(file.c_str(), "r");
    if (!in)
        return false;
    int count = 0;
    while (X509 *certificate = PEM_read_bio_X509(in, nullptr, nullptr, nullptr)) {
        if (X509_STORE_add_cert(store, certificate) == 1)
            ++count;
        X509_free(certificate);
    }
    BIO_free(in);
    ERR_clear_error(); // the end of the file reads as an error
    return count > 0;
}

// A dotted address as OpenSSL compares it: without leading zeros.
std::string plainDotted(const std::string &dotted)
{
    std::string out;
    std::size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = dotted.find('.', start);
        const std::size_t end = dot == std::string::npos ? dotted.size() : dot;
        if (part > 0)
            out += '.';
        out += std::to_string(std::stoi(dotted.substr(start, end - start)));
        start = end + 1;
    }
    return out;
}

ConnectError handshakeFailure(SSL *ssl)
{
    switch (SSL_get_verify_result(ssl)) {
    case X509_V_OK:
        return ConnectError::HandshakeFailed;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return ConnectError::HostNameMismatch;
    default:
        return ConnectError::CertificateNotTrusted;
    }
}

// One TLS session over the connection's socket. OpenSSL allows one call at a time on an
// SSL object, and the receiver and the sender both use it: every call holds `guard`,
// only for the call itself; a worker that has to wait for the socket waits without it.
struct TlsSession
{
    SSL_CTX *context = nullptr;
    SSL *ssl = nullptr;
    std::mutex guard;
    bool failed = false; // a fatal error: the session can no longer say goodbye

    TlsSession() = default;
    TlsSession(const TlsSession &) = delete;
    TlsSession &operator=(const TlsSession &) = delete;
    ~TlsSession()
    {
        SSL_free(ssl); // with its BIO; the socket is closed by its owner
        SSL_CTX_free(context);
    }
};

// Everything of a TLS connect before the network: the context with its trust anchors
// and the session with the name to check. Null and the reason on failure.
std::unique_ptr<TlsSession> prepareTls(const TlsOptions &options, const std::string &host, ConnectError &why)
{
    why = ConnectError::HandshakeFailed;
    auto session = std::make_unique<TlsSession>();
    session->context = SSL_CTX_new(TLS_client_method());
    SSL_CTX *context = session->context;
    if (!context || !socketBioMethod())
        return nullptr;
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION);
    // A write call sends at most one record and may be repeated from another buffer.
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    if (!options.pinnedCertFile.empty()) {
        X509_STORE *store = X509_STORE_new();
        if (!store || !loadPinned(store, options.pinnedCertFile)) {
            X509_STORE_free(store);
            why = ConnectError::CertificateFile;
            return nullptr;
        }
        // The pinned certificate is trusted as it is, also when it is the server's own
        // and not a root.
        X509_STORE_set_flags(store, X509_V_FLAG_PARTIAL_CHAIN);
        SSL_CTX_set_cert_store(context, store);
        X509_VERIFY_PARAM_set_flags(SSL_CTX_get0_param(context), X509_V_FLAG_PARTIAL_CHAIN);
    } else if (SSL_CTX_set_default_verify_paths(context) != 1) {
        ERR_clear_error();
        why = ConnectError::CertificateFile;
        return nullptr;
    }

    session->ssl = SSL_new(context);
    if (!session->ssl)
        return nullptr;
    const std::string name = options.serverName.empty() ? host : options.serverName;
    if (RequestClient::isDottedAddress(name)) {
        if (X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(session->ssl), plainDotted(name).c_str()) != 1)
            return nullptr;
    } else {
        SSL_set_hostflags(session->ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        if (SSL_set_tlsext_host_name(session->ssl, name.c_str()) != 1 ||
            SSL_set1_host(session->ssl, name.c_str()) != 1)
            return nullptr;
    }
    why = ConnectError::None;
    return session;
}

// The handshake on the connected socket, before the same deadline as the TCP connect.
ConnectError shakeHands(TlsSession &session, Socket s, Clock::time_point deadline,
                        const std::atomic<bool> *cancelled)
{
    BIO *bio = BIO_new(socketBioMethod());
    if (!bio)
        return ConnectError::HandshakeFailed;
    BIO_set_data(bio, reinterpret_cast<void *>(static_cast<std::intptr_t>(s)));
    BIO_set_init(bio, 1);
    SSL_set_bio(session.ssl, bio, bio);
    while (true) {
        ERR_clear_error();
        const int result = SSL_connect(session.ssl);
        if (result == 1)
            return ConnectError::None;
        const int error = SSL_get_error(session.ssl, result);
        short events = 0;
        if (error == SSL_ERROR_WANT_READ) {
            events = POLLIN;
        } else if (error == SSL_ERROR_WANT_WRITE) {
            events = POLLOUT;
        } else {
            ERR_clear_error();
            session.failed = true;
            return handshakeFailure(session.ssl);
        }
        const ConnectError waited = waitForSocket(s, events, deadline, cancelled);
        if (waited != ConnectError::None)
            return waited;
    }
}

struct Opened
{
    Socket socket = kNoSocket;
    std::unique_ptr<TlsSession> tls;
};

// The TCP connect and, when asked for, the TLS handshake, within `timeoutMs` together.
Opened openConnection(const std::string &host, int port, const TlsOptions &tls, int timeoutMs,
                      const std::atomic<bool> *cancelled, ConnectError &why)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    Opened opened;
    if (tls.enabled) {
        // A certificate file that cannot be read fails before anything goes out.
        opened.tls = prepareTls(tls, host, why);
        if (!opened.tls)
            return {};
    }
    opened.socket = openSocket(host, port, deadline, cancelled, why);
    if (opened.socket == kNoSocket)
        return {};
    if (opened.tls) {
        why = shakeHands(*opened.tls, opened.socket, deadline, cancelled);
        if (why != ConnectError::None) {
            opened.tls.reset();
            discardSocket(opened.socket);
            return {};
        }
    }
    return opened;
}

void discard(Opened &opened)
{
    opened.tls.reset();
    if (opened.socket != kNoSocket)
        discardSocket(opened.socket);
    opened.socket = kNoSocket;
}

// One step of reading or writing, plain or TLS: bytes moved, or what to wait for.
enum class Step
{
    Moved,
    Wait,   // for `events` on the socket
    Again,  // interrupted: try at once
    Closed, // the far end closed
    Failed, // the connection is broken
};

struct IoStep
{
    Step step = Step::Failed;
    std::size_t bytes = 0;
    short events = 0;
};

// Under the session's guard, right after the call.
IoStep tlsOutcome(TlsSession &tls, int result)
{
    if (result > 0)
        return {Step::Moved, static_cast<std::size_t>(result), 0};
    switch (SSL_get_error(tls.ssl, result)) {
    case SSL_ERROR_WANT_READ:
        return {Step::Wait, 0, POLLIN};
    case SSL_ERROR_WANT_WRITE:
        return {Step::Wait, 0, POLLOUT};
    case SSL_ERROR_ZERO_RETURN: // the server said goodbye
        return {Step::Closed, 0, 0};
    default:
        ERR_clear_error();
        tls.failed = true;
        return {Step::Failed, 0, 0};
    }
}

IoStep readStep(Socket s, TlsSession *tls, char *data, std::size_t size)
{
    if (tls) {
        std::lock_guard guard(tls->guard);
        ERR_clear_error();
        return tlsOutcome(*tls,
                          SSL_read(tls->ssl, data, static_cast<int>(std::min<std::size_t>(size, INT_MAX))));
    }
    const IoResult n = ::recv(s, data, static_cast<int>(size), 0);
    if (n > 0)
        return {Step::Moved, static_cast<std::size_t>(n), 0};
    if (n == 0)
        return {Step::Closed, 0, 0};
    const int error = lastError();
    if (interrupted(error))
        return {Step::Again, 0, 0};
    if (wouldBlock(error))
        return {Step::Wait, 0, POLLIN};
    return {Step::Failed, 0, 0};
}

IoStep writeStep(Socket s, TlsSession *tls, const char *data, std::size_t size)
{
    if (tls) {
        std::lock_guard guard(tls->guard);
        if (tls->failed)
            return {Step::Failed, 0, 0};
        ERR_clear_error();
        return tlsOutcome(
            *tls, SSL_write(tls->ssl, data, static_cast<int>(std::min<std::size_t>(size, kTlsWriteSize))));
    }
    const std::size_t want = std::min<std::size_t>(size, INT_MAX);
    const IoResult n = ::send(s, data, static_cast<int>(want), kSendFlags);
    if (n > 0)
        return {Step::Moved, static_cast<std::size_t>(n), 0};
    if (n < 0) {
        const int error = lastError();
        if (interrupted(error))
            return {Step::Again, 0, 0};
        if (!wouldBlock(error))
            return {Step::Failed, 0, 0};
    }
    return {Step::Wait, 0, POLLOUT};
}

} // namespace

struct RequestClient::Connection
{
    Socket socket = kNoSocket;
    std::unique_ptr<TlsSession> tls; // null for plain TCP
    std::atomic<bool> stopped{true};
    EventRoutine routine;
    ConnectDone connected; // of connectAsync; the dispatcher calls it first

    std::mutex sendGuard;
    std::condition_variable sendReady;
    std::deque<std::string> sendQueue;

    std::mutex eventGuard;
    std::condition_variable eventReady;
    std::deque<Event> eventQueue;

    std::thread receiver;
    std::thread sender;
    std::thread dispatcher;
};

struct RequestClient::Attempt
{
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    std::thread thread;
};

RequestClient::RequestClient() = default;

RequestClient::~RequestClient()
{
    disconnect();
    // A cancelled connector still takes the lifecycle lock once before it ends.
    std::vector<std::shared_ptr<Attempt>> attempts;
    {
        std::lock_guard lifecycle(m_lifecycle);
        attempts.swap(m_attempts);
    }
    for (const auto &attempt : attempts) {
        if (attempt->thread.joinable())
            attempt->thread.join();
    }
    std::lock_guard lifecycle(m_lifecycle);
    if (m_connection)
        reap(*m_connection);
}

std::shared_ptr<RequestClient::Connection> RequestClient::current() const
{
    std::lock_guard guard(m_currentGuard);
    return m_connection;
}

bool RequestClient::isRunning() const
{
    const auto c = current();
    return c && !c->stopped;
}

int RequestClient::sequence() const
{
    std::lock_guard guard(m_encoderGuard);
    return m_encoder.sequence();
}

bool RequestClient::isConnecting() const
{
    std::lock_guard lifecycle(m_lifecycle);
    return m_attempt != nullptr;
}

void RequestClient::setTls(TlsOptions options)
{
    std::lock_guard lifecycle(m_lifecycle);
    m_tls = std::move(options);
}

TlsOptions RequestClient::tls() const
{
    std::lock_guard lifecycle(m_lifecycle);
    return m_tls;
}

ConnectError RequestClient::lastConnectError() const
{
    return m_lastError;
}

bool RequestClient::connect(const std::string &host, int port, EventRoutine routine, int timeoutMs)
{
    std::lock_guard lifecycle(m_lifecycle);
    if (isRunning() || m_attempt || port < 0 || port > 65535 || !routine) {
        m_lastError = ConnectError::NotStarted;
        return false;
    }
    ConnectError why = ConnectError::None;
    Opened opened = openConnection(host, port, m_tls, timeoutMs, nullptr, why);
    m_lastError = why;
    if (opened.socket == kNoSocket)
        return false;
    auto c = std::make_shared<Connection>();
    c->socket = opened.socket;
    c->tls = std::move(opened.tls);
    c->routine = std::move(routine);
    install(std::move(c));
    return true;
}

bool RequestClient::connectAsync(const std::string &host, int port, EventRoutine routine, ConnectDone done,
                                 int timeoutMs)
{
    std::lock_guard lifecycle(m_lifecycle);
    if (isRunning() || m_attempt || port < 0 || port > 65535 || !routine || !done)
        return false;
    reapFinishedAttempts();
    auto attempt = std::make_shared<Attempt>();
    attempt->thread = std::thread(&RequestClient::connectorLoop, this, attempt, host, port, m_tls,
                                  std::move(routine), std::move(done), timeoutMs);
    m_attempt = attempt;
    m_attempts.push_back(std::move(attempt));
    return true;
}

void RequestClient::cancelConnect()
{
    std::lock_guard lifecycle(m_lifecycle);
    if (m_attempt) {
        m_attempt->cancelled = true;
        m_attempt.reset();
    }
}

void RequestClient::connectorLoop(std::shared_ptr<Attempt> attempt, std::string host, int port,
                                  TlsOptions tls, EventRoutine routine, ConnectDone done, int timeoutMs)
{
    ConnectError why = ConnectError::None;
    Opened opened = openConnection(host, port, tls, timeoutMs, &attempt->cancelled, why);
    {
        // A cancel takes the same lock, so after cancelConnect() returns this attempt
        // can no longer become the connection.
        std::lock_guard lifecycle(m_lifecycle);
        const bool current = m_attempt == attempt;
        if (current)
            m_attempt.reset();
        if (attempt->cancelled)
            why = ConnectError::Cancelled;
        else if (opened.socket != kNoSocket && isRunning())
            why = ConnectError::NotStarted;
        if (opened.socket != kNoSocket && why == ConnectError::None) {
            m_lastError = ConnectError::None;
            auto c = std::make_shared<Connection>();
            c->socket = opened.socket;
            c->tls = std::move(opened.tls);
            c->routine = std::move(routine);
            c->connected = std::move(done);
            install(std::move(c));
            attempt->finished = true;
            return;
        }
        if (current && why != ConnectError::Cancelled)
            m_lastError = why;
    }
    discard(opened);
    done(false, why);
    attempt->finished = true;
}

void RequestClient::install(std::shared_ptr<Connection> c)
{
    if (m_connection)
        reap(*m_connection);
    c->stopped = false;
    {
        std::lock_guard guard(m_currentGuard);
        m_connection = c;
    }
    // The dispatcher starts last: a teardown on it joins the other two.
    c->receiver = std::thread(&RequestClient::receiverLoop, this, c);
    c->sender = std::thread(&RequestClient::senderLoop, this, c);
    c->dispatcher = std::thread(&RequestClient::dispatcherLoop, this, c);
}

// Joins the connector threads that have ended (a cancelled one may still be resolving).
void RequestClient::reapFinishedAttempts()
{
    const auto end = std::remove_if(m_attempts.begin(), m_attempts.end(), [](const auto &attempt) {
        if (!attempt->finished || attempt->thread.get_id() == std::this_thread::get_id())
            return false;
        attempt->thread.join();
        return true;
    });
    m_attempts.erase(end, m_attempts.end());
}

void RequestClient::disconnect()
{
    std::lock_guard lifecycle(m_lifecycle);
    if (m_attempt) {
        m_attempt->cancelled = true;
        m_attempt.reset();
    }
    const auto c = current();
    if (!c || c->stopped.exchange(true))
        return;
    teardown(*c, false);
}

bool RequestClient::send(std::string_view payload)
{
    const auto c = current();
    if (!c || c->stopped)
        return false;
    {
        std::lock_guard guard(c->sendGuard);
        c->sendQueue.emplace_back(payload);
    }
    c->sendReady.notify_one();
    return true;
}

int RequestClient::eventKind(const Event *event) const
{
    if (event == nullptr || !isRunning())
        return -1;
    return event->kind;
}

bool RequestClient::eventData(const Event *event, std::string &out) const
{
    if (event == nullptr || event->kind != Event::Data || !isRunning())
        return false;
    out = event->payload;
    return true;
}

const char *RequestClient::describe(ConnectError error)
{
    switch (error) {
    case ConnectError::None:
        return "connected";
    case ConnectError::NotStarted:
        return "not started";
    case ConnectError::Unresolved:
        return "host name not resolved";
    case ConnectError::Refused:
        return "connection refused or unreachable";
    case ConnectError::TimedOut:
        return "timed out";
    case ConnectError::Cancelled:
        return "cancelled";
    case ConnectError::CertificateFile:
        return "trusted certificate file unreadable";
    case ConnectError::CertificateNotTrusted:
        return "certificate not trusted";
    case ConnectError::HostNameMismatch:
        return "host name mismatch";
    case ConnectError::HandshakeFailed:
        return "handshake failed";
    }
    return "unknown";
}

bool RequestClient::isCertificateError(ConnectError error)
{
    return error == ConnectError::CertificateFile || error == ConnectError::CertificateNotTrusted ||
           error == ConnectError::HostNameMismatch;
}

std::string RequestClient::textDigest(std::string_view bytes)
{
    return protocol::md5Hex(bytes);
}

bool RequestClient::isDottedAddress(std::string_view host)
{
    int parts = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = host.find('.', start);
        const std::string_view part =
            host.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (part.empty() || part.size() > 3 ||
            !std::all_of(part.begin(), part.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
            return false;
        int value = 0;
        for (char ch : part)
            value = value * 10 + (ch - '0');
        if (value > 255)
            return false;
        ++parts;
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
    return parts == 4;
}

void RequestClient::receiverLoop(std::shared_ptr<Connection> c)
{
    protocol::FrameDecoder decoder;
    std::vector<protocol::DecodedEvent> decoded;
    std::vector<char> buffer(kReadSize);
    int timeouts = 0;
    while (!c->stopped) {
        const IoStep read = readStep(c->socket, c->tls.get(), buffer.data(), buffer.size());
        if (read.step == Step::Moved) {
            timeouts = 0;
            decoded.clear();
            const auto status = decoder.feed(std::string_view(buffer.data(), read.bytes), decoded);
            bool ended = false;
            if (!decoded.empty()) {
                {
                    std::lock_guard guard(c->eventGuard);
                    for (auto &d : decoded) {
                        if (d.kind == protocol::DecodedEvent::Kind::ConnectionLost) {
                            c->eventQueue.push_back(Event{Event::ConnectionLost, {}, {}});
                            ended = true;
                            break;
                        }
                        c->eventQueue.push_back(
                            Event{Event::Data, std::move(d.payload), std::move(d.number)});
                    }
                }
                c->eventReady.notify_one();
            }
            if (ended)
                return;
            if (status == protocol::FrameDecoder::Status::ConnectionLost)
                break;
            continue;
        }
        if (read.step == Step::Closed || read.step == Step::Failed)
            break;
        if (read.step == Step::Again)
            continue;
        const int ready = pollOne(c->socket, read.events);
        if (ready > 0) {
            timeouts = 0;
        } else if (ready == 0) {
            if (++timeouts > kMaxTimeouts) {
                decoder.reset();
                timeouts = 0;
            }
        } else if (!interrupted(lastError())) {
            break;
        }
    }
    if (c->stopped)
        return;
    {
        std::lock_guard guard(c->eventGuard);
        c->eventQueue.push_back(Event{Event::ConnectionLost, {}, {}});
    }
    c->eventReady.notify_one();
}

void RequestClient::senderLoop(std::shared_ptr<Connection> c)
{
    std::string wire;
    while (true) {
        std::string payload;
        {
            std::unique_lock guard(c->sendGuard);
            c->sendReady.wait(guard, [&] { return c->stopped || !c->sendQueue.empty(); });
            if (c->stopped)
                return;
            payload = std::move(c->sendQueue.front());
            c->sendQueue.pop_front();
        }
        wire.clear();
        {
            std::lock_guard guard(m_encoderGuard);
            m_encoder.encodeTo(payload, wire);
        }
        // A message that cannot be written (21 waits in a row without room, or a write
        // error) is abandoned; a plain connection stays up.
        std::size_t done = 0;
        int timeouts = 0;
        while (done < wire.size() && !c->stopped) {
            const IoStep written = writeStep(c->socket, c->tls.get(), wire.data() + done, wire.size() - done);
            if (written.step == Step::Moved) {
                done += written.bytes;
                continue;
            }
            if (written.step == Step::Again)
                continue;
            if (written.step != Step::Wait)
                break;
            const int ready = pollOne(c->socket, written.events);
            if (ready > 0) {
                timeouts = 0;
            } else if (ready == 0) {
                if (++timeouts > kMaxTimeouts)
                    break;
            } else if (!interrupted(lastError())) {
                break;
            }
        }
        if (done < wire.size() && !c->stopped && c->tls) {
            // A TLS session cannot skip the rest of a record it has begun: the
            // connection ends, and the receiver reports it lost.
            {
                std::lock_guard guard(c->tls->guard);
                c->tls->failed = true;
            }
            ::shutdown(c->socket, kShutBoth);
        }
        if (wire.capacity() > (std::size_t{4} << 20))
            std::string().swap(wire);
    }
}

void RequestClient::dispatcherLoop(std::shared_ptr<Connection> c)
{
    // Told before any event, so whoever waits for the connect hears of it first.
    if (c->connected) {
        const ConnectDone connected = std::move(c->connected);
        const bool running = !c->stopped;
        connected(running, running ? ConnectError::None : ConnectError::Cancelled);
    }
    while (true) {
        Event event;
        {
            std::unique_lock guard(c->eventGuard);
            c->eventReady.wait(guard, [&] { return c->stopped || !c->eventQueue.empty(); });
            if (c->stopped)
                return;
            event = std::move(c->eventQueue.front());
            c->eventQueue.pop_front();
        }
        c->routine(event);
        if (event.kind == Event::ConnectionLost) {
            if (!c->stopped.exchange(true))
                teardown(*c, true);
            return;
        }
    }
}

// Runs on the thread that set the stopped flag: the caller of disconnect(), or the
// dispatcher after a connection-lost event. The socket is closed only after the
// workers have been joined so that its number cannot be reused under them. A TLS
// session first says goodbye (close_notify) if it still can, without waiting for the
// server's answer.
void RequestClient::teardown(Connection &c, bool fromDispatcher)
{
    if (c.tls) {
        std::lock_guard guard(c.tls->guard);
        if (!c.tls->failed) {
            ERR_clear_error();
            SSL_shutdown(c.tls->ssl);
            ERR_clear_error();
        }
    }
    ::shutdown(c.socket, kShutBoth);
    {
        std::lock_guard guard(c.sendGuard);
    }
    c.sendReady.notify_all();
    {
        std::lock_guard guard(c.eventGuard);
    }
    c.eventReady.notify_all();

    c.receiver.join();
    c.sender.join();
    if (!fromDispatcher)
        reap(c);
    c.tls.reset();
    closeSocket(c.socket);
    c.socket = kNoSocket;
    stopSocketLayer();

    std::deque<std::string> sends;
    std::deque<Event> events;
    {
        std::lock_guard guard(c.sendGuard);
        sends.swap(c.sendQueue);
    }
    {
        std::lock_guard guard(c.eventGuard);
        events.swap(c.eventQueue);
    }
}

// Only the thread that owns the lifecycle touches the dispatcher's thread object.
void RequestClient::reap(Connection &c)
{
    if (!c.dispatcher.joinable())
        return;
    if (c.dispatcher.get_id() == std::this_thread::get_id())
        c.dispatcher.detach();
    else
        c.dispatcher.join();
}

} // namespace vantrell::net
