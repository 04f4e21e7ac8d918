// Request client against an in-process loopback echo peer, beside a plain socket doing
// the same transfer: small-message round trips per second, MiB/s for 1 MiB payloads,
// and the CPU an idle connected client uses.
//
//   taskset -c 1 bench_requestclient      (pinned: both ends and the echo share one CPU)
#include "client/net/requestclient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using vantrell::net::Event;
using vantrell::net::RequestClient;
using Clock = std::chrono::steady_clock;

namespace {

// Echoes every byte back unchanged, so the numbers measure the client, not the peer.
class EchoPeer
{
public:
    EchoPeer()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(m_listener, 8);
        socklen_t len = sizeof a;
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~EchoPeer()
    {
        ::shutdown(m_listener, SHUT_RDWR);
        ::close(m_listener);
        m_thread.join();
    }
    int port() const { return m_port; }

private:
    void run()
    {
        // One connection at a time is all the benchmark needs.
        while (true) {
            const int s = ::accept(m_listener, nullptr, nullptr);
            if (s < 0)
                return;
            std::vector<char> buffer(1 << 16);
            while (true) {
                const ssize_t n = ::recv(s, buffer.data(), buffer.size(), 0);
                if (n <= 0)
                    break;
                for (ssize_t done = 0; done < n;) {
                    const ssize_t w =
                        ::send(s, buffer.data() + done, static_cast<std::size_t>(n - done), MSG_NOSIGNAL);
                    if (w <= 0)
                        break;
                    done += w;
                }
            }
            ::close(s);
        }
    }

    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
};

int plainConnect(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
    return s;
}

// Plain socket: write the bytes, read as many back (blocking reads of 10,240 bytes, as
// many as the request client's receiver asks for at a time). Round trips per second.
double plainRoundTrips(int port, std::size_t size, int rounds)
{
    const int s = plainConnect(port);
    const std::string data(size, 'p');
    std::vector<char> buffer(10240);
    std::thread writer;
    const auto start = Clock::now();
    for (int r = 0; r < rounds; ++r) {
        // Write from a second thread, as the request client's sender does, so a payload
        // larger than the socket buffers cannot deadlock against the echo.
        const auto write = [&] {
            for (std::size_t done = 0; done < size;)
                done += static_cast<std::size_t>(::send(s, data.data() + done, size - done, MSG_NOSIGNAL));
        };
        if (size > 65536)
            writer = std::thread(write);
        else
            write();
        for (std::size_t got = 0; got < size;)
            got += static_cast<std::size_t>(::recv(s, buffer.data(), buffer.size(), 0));
        if (writer.joinable())
            writer.join();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    ::close(s);
    return rounds / seconds;
}

class Waiter
{
public:
    void arrived()
    {
        std::lock_guard lock(m_guard);
        ++m_count;
        m_changed.notify_one();
    }
    void waitFor(long count)
    {
        std::unique_lock lock(m_guard);
        m_changed.wait(lock, [&] { return m_count >= count; });
    }

private:
    std::mutex m_guard;
    std::condition_variable m_changed;
    long m_count = 0;
};

// Round trips per second through the request client; `pipelined` queues them all first.
double clientRoundTrips(int port, std::size_t size, int rounds, bool pipelined)
{
    RequestClient client;
    Waiter waiter;
    std::string copy;
    client.connect("127.0.0.1", port, [&](const Event &e) {
        client.eventData(&e, copy); // what the program's event routine does
        waiter.arrived();
    });
    const std::string data(size, 'c');
    const auto start = Clock::now();
    for (int r = 0; r < rounds; ++r) {
        client.send(data);
        if (!pipelined)
            waiter.waitFor(r + 1);
    }
    waiter.waitFor(rounds);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    client.disconnect();
    return rounds / seconds;
}

double cpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

struct Measured
{
    double rate = 0;        // round trips per second
    double cpuPerRound = 0; // process CPU seconds per round trip (both ends, in-process)
};

template <typename Run> Measured measure(int rounds, Run run)
{
    const double before = cpuSeconds();
    Measured m;
    m.rate = run();
    m.cpuPerRound = (cpuSeconds() - before) / rounds;
    return m;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int main()
{
    EchoPeer peer;
    constexpr std::size_t kMiB = 1 << 20;
    constexpr int kPasses = 7;

    std::printf("%-30s %16s %16s %7s %14s\n", "transfer (median of 7)", "request client", "plain socket",
                "ratio", "CPU ratio");
    const auto compare = [&](const char *name, std::size_t clientSize, std::size_t plainSize, int rounds,
                             double unit, const char *unitName) {
        std::vector<double> client, plain, ratio, cpu;
        for (int pass = 0; pass < kPasses; ++pass) {
            const Measured c =
                measure(rounds, [&] { return clientRoundTrips(peer.port(), clientSize, rounds, false); });
            const Measured p =
                measure(rounds, [&] { return plainRoundTrips(peer.port(), plainSize, rounds); });
            client.push_back(c.rate * unit);
            plain.push_back(p.rate * unit);
            ratio.push_back(c.rate / p.rate);
            cpu.push_back(c.cpuPerRound / p.cpuPerRound);
        }
        std::printf("%-30s %10.0f %5s %10.0f %5s %7.2f %14.2f\n", name, median(client), unitName,
                    median(plain), unitName, median(ratio), median(cpu));
    };
    compare("1 MiB round trips", kMiB, kMiB, 100, 1.0, "MiB/s");
    // The plain socket moves as many bytes as the framed 100-byte message.
    compare("100 B round trips", 100, 100 + 42, 5000, 1.0, "msg/s");

    const double pipelined = clientRoundTrips(peer.port(), 100, 100000, true);
    std::printf("%-30s %10.0f msg/s\n", "100 B, 100000 queued at once", pipelined);

    RequestClient idle;
    idle.connect("127.0.0.1", peer.port(), [](const Event &) {});
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const double before = cpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const double used = cpuSeconds() - before;
    std::printf("idle connected client over 3 s: %.1f ms CPU (%.3f %% of one core)\n", used * 1e3,
                used / 3.0 * 100.0);
    idle.disconnect();
    return 0;
}
