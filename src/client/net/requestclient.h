#pragma once

// The one connection to the server: length-framed messages over TCP, served by three
// workers. The receiver reads and reassembles, the sender frames and writes, the
// dispatcher hands each received event to the event routine. Both queues are FIFO,
// so requests leave and replies arrive in the order they were queued.
//
// No Qt here; the program layer (serverlink.h) moves events to the GUI thread.

#include "protocol/frame.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

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

class RequestClient
{
public:
    using EventRoutine = std::function<void(const Event &)>;

    RequestClient();  // Create: sequence number 10, stopped
    ~RequestClient(); // Destroy: disconnects when running
    RequestClient(const RequestClient &) = delete;
    RequestClient &operator=(const RequestClient &) = delete;

    // Fails when already running, the port is outside 0..65535, the routine is empty,
    // the host cannot be resolved or the connection is refused. A dotted IPv4 text
    // (four parts of 1-3 digits, each 0..255) is used directly; anything else is
    // resolved as a host name and its first IPv4 address used.
    bool connect(const std::string &host, int port, EventRoutine routine);
    // Teardown when running; nothing when stopped. Never called from the event routine.
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
    std::shared_ptr<Connection> current() const;
    void receiverLoop(std::shared_ptr<Connection> c);
    void senderLoop(std::shared_ptr<Connection> c);
    void dispatcherLoop(std::shared_ptr<Connection> c);
    static void teardown(Connection &c, bool fromDispatcher);
    static void reap(Connection &c);

    mutable std::mutex m_lifecycle; // connect / disconnect / destroy
    // Guards the pointer only; send() and the event accessors run on the dispatcher
    // too, so they must not wait for m_lifecycle while a teardown joins that thread.
    mutable std::mutex m_currentGuard;
    std::shared_ptr<Connection> m_connection;
    mutable std::mutex m_encoderGuard;
    protocol::FrameEncoder m_encoder; // used by the sender worker
};

} // namespace vantrell::net
