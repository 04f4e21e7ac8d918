#include "support/server/testclient.h"

#include "protocol/fieldtext.h"
#include "protocol/gbk.h"
#include "protocol/md5.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace vantrell::testing {

using Clock = std::chrono::steady_clock;

std::string Reply::value(std::string_view key) const
{
    return protocol::valueOf(fields, key);
}

std::string toGbk(std::string_view utf8)
{
    auto bytes = protocol::utf8ToGbk(utf8);
    if (!bytes)
        throw std::invalid_argument("text not writable in GBK");
    return *bytes;
}

std::string fromGbk(std::string_view gbk)
{
    auto text = protocol::gbkToUtf8(gbk);
    if (!text)
        throw std::invalid_argument("server sent invalid GBK");
    return *text;
}

std::string passwordDigest(std::string_view password)
{
    return protocol::md5Hex(toGbk(password));
}

TestClient::TestClient() = default;

TestClient::~TestClient()
{
    disconnect();
}

bool TestClient::connect(unsigned short port, const std::string &host)
{
    return connectVia(port, host, {});
}

bool TestClient::connectFrom(unsigned short port, const std::string &source)
{
    return connectVia(port, "127.0.0.1", source);
}

bool TestClient::connectVia(unsigned short port, const std::string &host, const std::string &source)
{
    disconnect();
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return false;
    if (!source.empty()) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        if (::inet_pton(AF_INET, source.c_str(), &local.sin_addr) != 1 ||
            ::bind(m_fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0) {
            disconnect();
            return false;
        }
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1 ||
        ::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        disconnect();
        return false;
    }
    int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_eof = m_closeFrame = false;
    m_decoder = protocol::FrameDecoder();
    m_events.clear();
    m_nextEvent = 0;
    return true;
}

void TestClient::disconnect()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool TestClient::sendRaw(std::string_view bytes)
{
    while (!bytes.empty()) {
        if (m_fd < 0)
            return false;
        const ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool TestClient::sendPayload(std::string_view payload)
{
    return sendRaw(m_encoder.encode(payload));
}

bool TestClient::send(std::string_view name, std::string_view fields)
{
    return sendPayload(protocol::makePayload(toGbk(name), toGbk(fields)));
}

bool TestClient::sendClose()
{
    return sendRaw(m_encoder.encodeClose());
}

bool TestClient::readSome(Clock::time_point deadline)
{
    if (m_fd < 0 || m_eof)
        return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd poller{m_fd, POLLIN, 0};
    const int ready = ::poll(&poller, 1, static_cast<int>(std::max<long long>(0, left)));
    if (ready <= 0)
        return false;
    char buffer[16384];
    const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
        m_eof = true;
        return false;
    }
    if (m_nextEvent == m_events.size()) {
        m_events.clear();
        m_nextEvent = 0;
    }
    if (m_decoder.feed(std::string_view(buffer, static_cast<std::size_t>(n)), m_events) ==
        protocol::FrameDecoder::Status::ConnectionLost)
        m_eof = true;
    return true;
}

std::optional<Reply> TestClient::takeEvent()
{
    while (m_nextEvent < m_events.size()) {
        const protocol::DecodedEvent event = std::move(m_events[m_nextEvent++]);
        if (event.kind == protocol::DecodedEvent::Kind::ConnectionLost) {
            m_closeFrame = true;
            return std::nullopt;
        }
        const std::string payload = fromGbk(event.payload);
        const auto parts = protocol::splitPayload(payload);
        Reply reply{std::string(parts.name), std::string(parts.fields)};
        if (reply.name == "心跳包") {
            ++m_probes;
            if (m_answerProbes)
                send("心跳包");
            continue;
        }
        return reply;
    }
    return std::nullopt;
}

std::optional<Reply> TestClient::receive(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (auto reply = takeEvent())
            return reply;
        if (m_closeFrame || m_eof || Clock::now() >= deadline)
            return std::nullopt;
        readSome(deadline);
    }
}

std::optional<Reply> TestClient::receiveNamed(std::string_view name, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        auto reply = receive(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
        if (!reply)
            return std::nullopt;
        if (reply->name == name)
            return reply;
    }
    return std::nullopt;
}

std::vector<Reply> TestClient::drain(std::chrono::milliseconds quiet)
{
    std::vector<Reply> replies;
    while (auto reply = receive(quiet))
        replies.push_back(std::move(*reply));
    return replies;
}

namespace {
constexpr std::string_view kSentinel = "版本验证_应答确认";
}

std::optional<std::vector<Reply>> TestClient::exchangePayload(std::string_view payload,
                                                              std::chrono::milliseconds timeout)
{
    if (!sendPayload(payload) || !send(kSentinel))
        return std::nullopt;
    const auto deadline = Clock::now() + timeout;
    std::vector<Reply> replies;
    while (Clock::now() < deadline) {
        auto reply = receive(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
        if (!reply)
            return std::nullopt;
        if (reply->name == "提示信息_错误" && reply->value("内容") == "未知的请求!")
            return replies;
        replies.push_back(std::move(*reply));
    }
    return std::nullopt;
}

std::optional<std::vector<Reply>> TestClient::exchange(std::string_view name, std::string_view fields,
                                                       std::chrono::milliseconds timeout)
{
    return exchangePayload(protocol::makePayload(toGbk(name), toGbk(fields)), timeout);
}

bool TestClient::waitClosed(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!m_eof && Clock::now() < deadline) {
        takeEvent();
        readSome(deadline);
    }
    takeEvent();
    return m_eof;
}

bool TestClient::registerAccount(std::string_view user, std::string_view password, std::string_view company,
                                 std::string_view type, std::string_view phone)
{
    std::string fields = protocol::FieldWriter()
                             .add("用户名", user)
                             .add("密码", passwordDigest(password))
                             .add("手机号", phone)
                             .add("公司", company)
                             .add("类型", type)
                             .str();
    if (!send("登陆系统_注册账号", fields))
        return false;
    const auto reply = receive(60s);
    return reply && reply->name == "登陆系统_账号注册成功";
}

bool TestClient::login(std::string_view user, std::string_view password)
{
    const std::string fields =
        protocol::FieldWriter().add("用户名", user).add("密码", passwordDigest(password)).str();
    if (!send("登陆系统_用户登陆", fields))
        return false;
    const auto reply = receive(60s);
    return reply && reply->name == "登陆系统_登陆成功";
}

} // namespace vantrell::testing
