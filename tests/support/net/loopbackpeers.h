#pragma once

// Loopback far ends for connect tests, without Qt: a listener that never takes another
// connection, and a peer that records the messages of the one connection it accepts.

#include "protocol/frame.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vantrell::test {

inline int loopbackListener(int backlog, int &port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::listen(s, backlog);
    socklen_t length = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr *>(&address), &length);
    port = ntohs(address.sin_port);
    return s;
}

// A listener whose accept queue is full and that never accepts: the kernel drops the
// handshake of every further connect, which then hangs as it would against a host that
// drops packets. Filler connections are opened until one of them no longer completes.
class StalledListener
{
public:
    StalledListener()
    {
        m_listener = loopbackListener(0, m_port);
        for (int i = 0; i < 16 && !m_stalled; ++i) {
            const int s = ::socket(AF_INET, SOCK_STREAM, 0);
            ::fcntl(s, F_SETFL, ::fcntl(s, F_GETFL, 0) | O_NONBLOCK);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(static_cast<std::uint16_t>(m_port));
            m_fillers.push_back(s);
            if (::connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
                continue;
            if (errno != EINPROGRESS)
                break;
            pollfd p{s, POLLOUT, 0};
            m_stalled = ::poll(&p, 1, 300) == 0;
        }
    }
    ~StalledListener()
    {
        for (int s : m_fillers)
            ::close(s);
        ::close(m_listener);
    }
    StalledListener(const StalledListener &) = delete;
    StalledListener &operator=(const StalledListener &) = delete;

    int port() const { return m_port; }
    // False when this system completed every filler connect (nothing would hang).
    bool stalled() const { return m_stalled; }

private:
    int m_listener = -1;
    int m_port = 0;
    bool m_stalled = false;
    std::vector<int> m_fillers;
};

// Accepts one connection and records the messages it receives until `count` have come,
// the client hangs up or `waitMs` pass without a byte; then closes it.
class RecordingPeer
{
public:
    explicit RecordingPeer(std::size_t count, int waitMs = 5000)
    {
        m_listener = loopbackListener(4, m_port);
        m_thread = std::thread([this, count, waitMs] {
            pollfd listening{m_listener, POLLIN, 0};
            if (::poll(&listening, 1, waitMs) <= 0)
                return;
            const int peer = ::accept(m_listener, nullptr, nullptr);
            if (peer < 0)
                return;
            protocol::FrameDecoder decoder;
            std::vector<protocol::DecodedEvent> events;
            char buffer[4096];
            while (events.size() < count) {
                pollfd p{peer, POLLIN, 0};
                if (::poll(&p, 1, waitMs) <= 0)
                    break;
                const ssize_t got = ::recv(peer, buffer, sizeof buffer, 0);
                if (got <= 0)
                    break;
                decoder.feed(std::string_view(buffer, static_cast<std::size_t>(got)), events);
                std::lock_guard guard(m_guard);
                m_messages = events;
            }
            ::close(peer);
        });
    }
    ~RecordingPeer()
    {
        join();
        ::close(m_listener);
    }
    RecordingPeer(const RecordingPeer &) = delete;
    RecordingPeer &operator=(const RecordingPeer &) = delete;

    int port() const { return m_port; }
    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    std::vector<protocol::DecodedEvent> messages() const
    {
        std::lock_guard guard(m_guard);
        return m_messages;
    }

private:
    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_guard;
    std::vector<protocol::DecodedEvent> m_messages;
};

} // namespace vantrell::test
