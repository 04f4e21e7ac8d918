#pragma once

#include <chrono>
#include <string>

namespace vantrell::server {

struct Config
{
    std::string listenAddress = "127.0.0.1";
    unsigned short port = 8600;
    std::string database = "sqlite:vantrell.db"; // sqlite:PATH, sqlite::memory:, postgresql://...
    int pageSize = 20;
    std::chrono::milliseconds heartbeatPeriod{30000};
    std::size_t maxFrameSize = 1024 * 1024;
    std::string minimumVersion; // empty: every version is accepted
    std::string downloadAddress;
    std::string aboutAddress;
    std::string helpAddress;
    std::string keyAlphabet; // empty: the built-in one
    int threads = 0;         // 0: as many as cores
    bool demo = false;

    // TLS: both set, the port speaks only TLS 1.2 or later.
    std::string tlsCertFile; // PEM chain, the server's certificate first
    std::string tlsKeyFile;  // PEM private key
    bool tls() const { return !tlsCertFile.empty(); }

    // What one host, or all of them together, may hold of the server.
    std::size_t maxConnections = 10000;
    std::size_t maxConnectionsPerAddress = 200;
    std::chrono::milliseconds loginTimeout{60000};     // from connecting to a successful login
    std::size_t maxBufferedTotal = 256u * 1024 * 1024; // partial frames of every connection together
    // Failed logins from one address (any user names) within ten minutes before that
    // address is refused logins for ten minutes.
    int loginFailuresPerAddress = 30;
    // How often a logged-in session looks whether its password was changed through
    // another server process (within one process the change ends it at once).
    std::chrono::milliseconds credentialCheckPeriod{5000};
};

} // namespace vantrell::server
