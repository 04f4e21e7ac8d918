#pragma once

// A TLS far end for the client's connect tests, without Qt: a loopback listener that
// serves its connections one after the other on one thread, speaking the wire format
// inside TLS with the given certificate and key. It is written independently of the
// client: one thread, memory BIOs, and the socket driven by poll(), so both directions
// move at once without any locking.

#include "protocol/frame.h"
#include "support/net/loopbackpeers.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vantrell::test {

// Path of a file under tests/data.
inline std::string testData(const std::string &relative)
{
    return std::string(VANTRELL_TEST_DATA) + "/" + relative;
}

class TlsPeer
{
public:
    struct Script
    {
        // Replies sent as soon as the handshake is done, in this order.
        std::vector<std::string> opening;
        // The last `holdBack` bytes of the opening's wire stay back until `releaseAfter`
        // requests have arrived: the client is then in the middle of a reply.
        std::size_t holdBack = 0;
        std::size_t releaseAfter = 0;
        // Every request is answered with "echo " + its payload.
        bool echo = true;
        // Says goodbye (close_notify) once the opening has gone out, then closes.
        bool closeAfterOpening = false;
        // Highest protocol version offered (TLS1_2_VERSION, TLS1_3_VERSION); 0: the newest.
        int maxVersion = 0;
    };

    TlsPeer() : TlsPeer(Script{}) {}
    explicit TlsPeer(Script script, const std::string &certificate = testData("tls/server.crt"),
                     const std::string &key = testData("tls/server.key"))
        : m_script(std::move(script))
    {
        m_context = SSL_CTX_new(TLS_server_method());
        m_ready = m_context && SSL_CTX_use_certificate_chain_file(m_context, certificate.c_str()) == 1 &&
                  SSL_CTX_use_PrivateKey_file(m_context, key.c_str(), SSL_FILETYPE_PEM) == 1;
        SSL_CTX_set_min_proto_version(m_context, TLS1_2_VERSION);
        SSL_CTX_set_max_proto_version(m_context, m_script.maxVersion);
        m_listener = loopbackListener(8, m_port);
        m_thread = std::thread([this] { run(); });
    }
    ~TlsPeer()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listener);
        SSL_CTX_free(m_context);
    }
    TlsPeer(const TlsPeer &) = delete;
    TlsPeer &operator=(const TlsPeer &) = delete;

    // False when the certificate or the key could not be loaded.
    bool ready() const { return m_ready; }
    int port() const { return m_port; }

    int accepted() const
    {
        std::lock_guard guard(m_guard);
        return m_accepted;
    }
    // Protocol version of the latest session, e.g. TLS1_3_VERSION.
    int version() const
    {
        std::lock_guard guard(m_guard);
        return m_version;
    }
    int handshakes() const
    {
        std::lock_guard guard(m_guard);
        return m_handshakes;
    }
    // Connections that ended with the client's close_notify.
    int goodbyes() const
    {
        std::lock_guard guard(m_guard);
        return m_goodbyes;
    }
    // Requests of the latest connection.
    std::vector<protocol::DecodedEvent> requests() const
    {
        std::lock_guard guard(m_guard);
        return m_requests;
    }
    std::size_t requestCount() const
    {
        std::lock_guard guard(m_guard);
        return m_requests.size();
    }
    // Waits until the condition holds (checked whenever something happened).
    bool waitFor(const std::function<bool(const TlsPeer &)> &condition,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20)) const
    {
        const auto until = std::chrono::steady_clock::now() + timeout;
        while (!condition(*this)) {
            if (std::chrono::steady_clock::now() > until)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

private:
    static constexpr std::size_t kChunk = 16384;
    static constexpr std::size_t kMaxEncrypted = 256 * 1024; // ciphertext waiting for the socket

    void run()
    {
        while (!m_stop) {
            pollfd listening{m_listener, POLLIN, 0};
            if (::poll(&listening, 1, 20) <= 0)
                continue;
            const int peer = ::accept(m_listener, nullptr, nullptr);
            if (peer < 0)
                continue;
            {
                std::lock_guard guard(m_guard);
                ++m_accepted;
                m_requests.clear();
            }
            serve(peer);
            ::close(peer);
            ERR_clear_error();
        }
    }

    void serve(int peer)
    {
        ::fcntl(peer, F_SETFL, ::fcntl(peer, F_GETFL, 0) | O_NONBLOCK);
        SSL *ssl = SSL_new(m_context);
        BIO *in = BIO_new(BIO_s_mem());
        BIO *out = BIO_new(BIO_s_mem());
        SSL_set_bio(ssl, in, out);
        SSL_set_accept_state(ssl);

        protocol::FrameEncoder encoder;
        protocol::FrameDecoder decoder;
        std::vector<protocol::DecodedEvent> decoded;
        std::string plain; // to encrypt, from `plainAt`
        std::size_t plainAt = 0;
        std::string held;      // the held-back end of the opening
        std::string encrypted; // to send, from `encryptedAt`
        std::size_t encryptedAt = 0;
        bool handshook = false;
        bool ending = false;     // nothing more to read: leave once the output is out
        bool peerClosed = false; // the client's end of the socket is closed
        bool saidGoodbye = false;
        std::vector<char> buffer(65536);

        while (!m_stop) {
            if (!handshook) {
                ERR_clear_error();
                const int result = SSL_do_handshake(ssl);
                if (result == 1) {
                    handshook = true;
                    std::string wire;
                    for (const std::string &reply : m_script.opening)
                        wire += encoder.encode(reply);
                    const std::size_t keep = std::min(m_script.holdBack, wire.size());
                    held = wire.substr(wire.size() - keep);
                    plain = wire.substr(0, wire.size() - keep);
                    std::lock_guard guard(m_guard);
                    ++m_handshakes;
                    m_version = SSL_version(ssl);
                } else if (SSL_get_error(ssl, result) != SSL_ERROR_WANT_READ) {
                    ending = true; // the alert, if any, still goes out
                }
            }
            if (handshook && !ending) {
                while (true) {
                    ERR_clear_error();
                    const int n = SSL_read(ssl, buffer.data(), static_cast<int>(buffer.size()));
                    if (n > 0) {
                        decoded.clear();
                        decoder.feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)), decoded);
                        std::lock_guard guard(m_guard);
                        for (auto &event : decoded) {
                            if (event.kind != protocol::DecodedEvent::Kind::Data)
                                continue;
                            // Behind the held-back bytes while they wait: frames stay whole.
                            if (m_script.echo)
                                (held.empty() ? plain : held) += encoder.encode("echo " + event.payload);
                            m_requests.push_back(std::move(event));
                        }
                        continue;
                    }
                    const int error = SSL_get_error(ssl, n);
                    if (error == SSL_ERROR_ZERO_RETURN) {
                        std::lock_guard guard(m_guard);
                        ++m_goodbyes;
                    }
                    if (error != SSL_ERROR_WANT_READ)
                        ending = true;
                    break;
                }
                if (!held.empty() && requestCount() >= m_script.releaseAfter) {
                    plain += held;
                    held.clear();
                }
                while (plainAt < plain.size() && BIO_ctrl_pending(out) < kMaxEncrypted) {
                    const int n = SSL_write(ssl, plain.data() + plainAt,
                                            static_cast<int>(std::min(kChunk, plain.size() - plainAt)));
                    if (n <= 0)
                        break;
                    plainAt += static_cast<std::size_t>(n);
                }
                if (plainAt == plain.size()) {
                    plain.clear();
                    plainAt = 0;
                }
                if (m_script.closeAfterOpening && plain.empty() && held.empty() && !saidGoodbye) {
                    SSL_shutdown(ssl);
                    saidGoodbye = true;
                    ending = true;
                }
            }
            while (true) {
                const int n = BIO_read(out, buffer.data(), static_cast<int>(buffer.size()));
                if (n <= 0)
                    break;
                encrypted.append(buffer.data(), static_cast<std::size_t>(n));
            }
            while (encryptedAt < encrypted.size() && !peerClosed) {
                const ssize_t n = ::send(peer, encrypted.data() + encryptedAt, encrypted.size() - encryptedAt,
                                         MSG_NOSIGNAL);
                if (n <= 0) {
                    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                        peerClosed = true;
                        BIO_set_mem_eof_return(in, 0);
                    }
                    break;
                }
                encryptedAt += static_cast<std::size_t>(n);
            }
            if (encryptedAt == encrypted.size()) {
                encrypted.clear();
                encryptedAt = 0;
            }
            if (ending && (encrypted.empty() || peerClosed))
                break;

            pollfd p{peer, static_cast<short>(POLLIN | (encrypted.empty() ? 0 : POLLOUT)), 0};
            if (peerClosed || ::poll(&p, 1, 20) <= 0)
                continue;
            if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
                const ssize_t n = ::recv(peer, buffer.data(), buffer.size(), 0);
                if (n > 0) {
                    BIO_write(in, buffer.data(), static_cast<int>(n));
                } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                    // What came before the end is still read; then the reads see the end.
                    peerClosed = true;
                    BIO_set_mem_eof_return(in, 0);
                    if (!handshook)
                        ending = true;
                }
            }
        }
        SSL_free(ssl);
    }

    Script m_script;
    SSL_CTX *m_context = nullptr;
    bool m_ready = false;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    mutable std::mutex m_guard;
    int m_accepted = 0;
    int m_handshakes = 0;
    int m_version = 0;
    int m_goodbyes = 0;
    std::vector<protocol::DecodedEvent> m_requests;
};

} // namespace vantrell::test
