#pragma once

// A blocking test client for the server: TCP, the frame codec, GBK at the edge.
// Every wait has a timeout, so a test fails instead of hanging.

#include "protocol/frame.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell::testing {

using namespace std::chrono_literals;

struct Reply
{
    std::string name;   // UTF-8, e.g. "提示信息_错误"
    std::string fields; // UTF-8 field text
    std::string value(std::string_view key) const;
};

class TestClient
{
public:
    TestClient();
    ~TestClient();
    TestClient(const TestClient &) = delete;
    TestClient &operator=(const TestClient &) = delete;

    bool connect(unsigned short port, const std::string &host = "127.0.0.1");
    // Connects to 127.0.0.1 from another loopback source address (127.0.0.2, ...), as a
    // second host would.
    bool connectFrom(unsigned short port, const std::string &source);
    void disconnect();

    // Converts name and field text to GBK and sends one framed request.
    bool send(std::string_view name, std::string_view fields = {});
    // Frames the payload bytes as they are (no conversion).
    bool sendPayload(std::string_view payload);
    bool sendClose(); // LEN 0
    bool sendRaw(std::string_view bytes);

    // The next reply. Heartbeat probes are counted and skipped (and answered when
    // setAnswerProbes(true)); nullopt on timeout, on LEN 0 and when the connection closed.
    std::optional<Reply> receive(std::chrono::milliseconds timeout = 5s);
    // The next reply named `name`, skipping others.
    std::optional<Reply> receiveNamed(std::string_view name, std::chrono::milliseconds timeout = 5s);
    // Replies arriving within `quiet` of each other (nothing more expected).
    std::vector<Reply> drain(std::chrono::milliseconds quiet = 300ms);
    // Sends the request, then a request no server knows, and returns every reply that
    // came before the refusal of the latter: exactly the request's replies, however slow
    // the server is. nullopt when the refusal did not come in time. Not for requests that
    // are themselves unknown: their refusal would read as the end.
    std::optional<std::vector<Reply>> exchange(std::string_view name, std::string_view fields = {},
                                               std::chrono::milliseconds timeout = 30s);
    std::optional<std::vector<Reply>> exchangePayload(std::string_view payload,
                                                      std::chrono::milliseconds timeout = 30s);

    // Waits until the server ends the connection; true when it did within the timeout.
    bool waitClosed(std::chrono::milliseconds timeout = 5s);
    bool sawCloseFrame() const { return m_closeFrame; }
    bool isClosed() const { return m_eof || m_closeFrame; }

    void setAnswerProbes(bool answer) { m_answerProbes = answer; }
    int probesSeen() const { return m_probes; }

    // Account helpers; true when the expected success reply arrived.
    bool registerAccount(std::string_view user, std::string_view password, std::string_view company,
                         std::string_view type = "1", std::string_view phone = "13800000000");
    bool login(std::string_view user, std::string_view password);

private:
    bool connectVia(unsigned short port, const std::string &host, const std::string &source);
    bool readSome(std::chrono::steady_clock::time_point deadline);
    std::optional<Reply> takeEvent();

    int m_fd = -1;
    protocol::FrameEncoder m_encoder;
    protocol::FrameDecoder m_decoder;
    std::vector<protocol::DecodedEvent> m_events;
    std::size_t m_nextEvent = 0;
    bool m_eof = false;
    bool m_closeFrame = false;
    bool m_answerProbes = false;
    int m_probes = 0;
};

// GBK/UTF-8 and the password digest as the client computes it.
std::string toGbk(std::string_view utf8);
std::string fromGbk(std::string_view gbk);
std::string passwordDigest(std::string_view password);

} // namespace vantrell::testing
