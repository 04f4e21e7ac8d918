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
};

} // namespace vantrell::server
