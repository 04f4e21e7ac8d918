// The server's port with a certificate: TLS 1.2 or later around the same frames; plain
// TCP and old TLS fail cleanly; a certificate and key that do not fit stop the start.

#include "protocol/fieldtext.h"
#include "protocol/frame.h"
#include "protocol/gbk.h"
#include "support/server/launcher.h"
#include "support/server/testclient.h"

#include <asio/connect.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/read.hpp>
#include <asio/ssl.hpp>
#include <asio/write.hpp>
#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

using namespace vantrell;
using namespace vantrell::testing;

namespace {

std::string certificate(const char *name)
{
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / "tls" / name).string();
}

server::Config tlsConfig()
{
    server::Config config = testConfig();
    config.tlsCertFile = certificate("server.crt");
    config.tlsKeyFile = certificate("server.key");
    return config;
}

// A blocking TLS client that trusts only `trusted`; nullopt when the handshake fails.
class TlsClient
{
public:
    TlsClient(const std::string &trusted, int maxVersion = 0) : m_context(asio::ssl::context::tls_client)
    {
        m_context.load_verify_file(trusted);
        m_context.set_verify_mode(asio::ssl::verify_peer);
        if (maxVersion != 0)
            SSL_CTX_set_max_proto_version(m_context.native_handle(), maxVersion);
    }

    bool connect(unsigned short port)
    {
        m_stream.emplace(m_io, m_context);
        asio::error_code ec;
        m_stream->lowest_layer().connect({asio::ip::make_address("127.0.0.1"), port}, ec);
        if (ec)
            return false;
        SSL_set1_host(m_stream->native_handle(), "localhost");
        m_stream->handshake(asio::ssl::stream_base::client, ec);
        return !ec;
    }

    // One request out, the first reply back (GBK payload converted to UTF-8).
    std::optional<std::string> exchange(const std::string &utf8Payload)
    {
        asio::error_code ec;
        asio::write(*m_stream, asio::buffer(m_encoder.encode(protocol::gbk(utf8Payload))), ec);
        if (ec)
            return std::nullopt;
        std::vector<protocol::DecodedEvent> events;
        char buffer[4096];
        while (events.empty()) {
            const std::size_t n = m_stream->read_some(asio::buffer(buffer), ec);
            if (ec)
                return std::nullopt;
            m_decoder.feed(std::string_view(buffer, n), events);
        }
        return protocol::gbkToUtf8(events.front().payload);
    }

private:
    asio::io_context m_io;
    asio::ssl::context m_context;
    std::optional<asio::ssl::stream<asio::ip::tcp::socket>> m_stream;
    protocol::FrameEncoder m_encoder;
    protocol::FrameDecoder m_decoder;
};

TEST(Tls, FramesTravelInsideTlsToATrustedCertificate)
{
    InProcessServer server(tlsConfig());
    TlsClient client(certificate("server.crt"));
    ASSERT_TRUE(client.connect(server.port()));
    const auto reply =
        client.exchange("登陆系统_用户登陆|用户名[nobody01]密码[0123456789abcdef0123456789abcdef]");
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, "提示信息_错误|内容[用户名或密码错误!]");

    // The same client, another certificate trusted: the handshake fails.
    TlsClient wary(certificate("other.crt"));
    EXPECT_FALSE(wary.connect(server.port()));
}

TEST(Tls, PlainTcpAndOldTlsFailCleanly)
{
    InProcessServer server(tlsConfig());
    TestClient plain;
    ASSERT_TRUE(plain.connect(server.port()));
    ASSERT_TRUE(plain.send("版本验证_验证", "版本号[1.0.0]"));
    EXPECT_TRUE(plain.waitClosed(3s));
    EXPECT_FALSE(plain.sawCloseFrame());

    TlsClient old(certificate("server.crt"), TLS1_1_VERSION);
    EXPECT_FALSE(old.connect(server.port()));

    // The server is unharmed.
    TlsClient client(certificate("server.crt"));
    ASSERT_TRUE(client.connect(server.port()));
    EXPECT_TRUE(client.exchange("登陆系统_用户登陆|用户名[nobody01]密码[0123456789abcdef0123456789abcdef]"));
}

TEST(Tls, ACertificateAndKeyThatDoNotBelongTogetherStopTheStart)
{
    const auto mismatched =
        runServerBinary({"--listen", "127.0.0.1:0", "--db", "sqlite::memory:", "--tls-cert",
                         certificate("server.crt"), "--tls-key", certificate("other.key")});
    EXPECT_EQ(mismatched.exitCode, 1);
    EXPECT_NE(mismatched.err.find("--tls-key"), std::string::npos) << mismatched.err;

    const auto missing =
        runServerBinary({"--listen", "127.0.0.1:0", "--db", "sqlite::memory:", "--tls-cert",
                         certificate("nowhere.crt"), "--tls-key", certificate("server.key")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("--tls-cert"), std::string::npos) << missing.err;

    const auto alone = runServerBinary({"--tls-cert", certificate("server.crt")});
    EXPECT_EQ(alone.exitCode, 2);
    EXPECT_NE(alone.err.find("go together"), std::string::npos) << alone.err;
}

} // namespace
