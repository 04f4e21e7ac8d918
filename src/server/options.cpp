#include "server/options.h"

#include "protocol/gbk.h"
#include "server/handlers.h"
#include "server/version.h"

#include <asio/ip/address.hpp>

#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <string_view>

namespace vantrell::server {

namespace {

std::optional<long long> parseInteger(std::string_view text, long long low, long long high)
{
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

std::string setListen(Config &config, const std::string &value)
{
    const std::size_t colon = value.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return "--listen wants ADDRESS:PORT, for example 127.0.0.1:8600";
    std::string host = value.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    asio::error_code ec;
    asio::ip::make_address(host, ec);
    if (ec)
        return "--listen: '" + host + "' is not an IP address";
    const auto port = parseInteger(std::string_view(value).substr(colon + 1), 0, 65535);
    if (!port)
        return "--listen: the port must be a number from 0 to 65535";
    config.listenAddress = host;
    config.port = static_cast<unsigned short>(*port);
    return {};
}

std::string setDatabase(Config &config, const std::string &value)
{
    const bool sqlite = value.starts_with("sqlite:") && value.size() > 7;
    // A URL, or libpq's keywords after "postgresql:" (postgresql:host=... dbname=...).
    const bool postgres = value.starts_with("postgresql://") || value.starts_with("postgres://") ||
                          (value.starts_with("postgresql:") && value.size() > 11);
    if (!sqlite && !postgres)
        return "--db wants sqlite:PATH, sqlite::memory:, postgresql://... or postgresql:KEYWORDS";
    config.database = value;
    return {};
}

std::string setHeartbeat(Config &config, const std::string &value)
{
    double seconds = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (ec != std::errc{} || end != value.data() + value.size() || !std::isfinite(seconds) ||
        seconds < 0.01 || seconds > 86400)
        return "--heartbeat wants seconds between 0.01 and 86400";
    config.heartbeatPeriod = std::chrono::milliseconds(std::llround(seconds * 1000));
    return {};
}

// Addresses go out inside field text, so they obey the same rules as any stored text.
std::string setAddress(std::string &target, std::string_view flag, const std::string &value)
{
    if (!screened(value) || protocol::gbkLength(value) < 0 || value.size() > 500)
        return std::string(flag) + " must not contain [ ] | , and must be writable in GBK";
    target = value;
    return {};
}

std::string setAlphabet(Config &config, const std::string &value)
{
    bool seen[256] = {};
    bool fine = value.size() == 62;
    for (unsigned char c : value) {
        if (!fine)
            break;
        const bool allowed = c > 0x20 && c < 0x7F && c != '[' && c != ']' && c != '|' && c != ',';
        fine = allowed && !seen[c];
        seen[c] = true;
    }
    if (!fine)
        return "--key-alphabet wants 62 distinct printable ASCII characters, none of [ ] | , "
               "(the client's built-in alphabet)";
    config.keyAlphabet = value;
    return {};
}

using Setter = std::function<std::string(Config &, const std::string &)>;

const std::map<std::string, Setter, std::less<>> &valueFlags()
{
    static const std::map<std::string, Setter, std::less<>> flags = {
        {"--listen", setListen},
        {"--db", setDatabase},
        {"--heartbeat", setHeartbeat},
        {"--key-alphabet", setAlphabet},
        {"--page-size",
         [](Config &c, const std::string &v) -> std::string {
             const auto n = parseInteger(v, 1, 1000);
             if (!n)
                 return "--page-size wants a number from 1 to 1000";
             c.pageSize = static_cast<int>(*n);
             return {};
         }},
        {"--max-frame",
         [](Config &c, const std::string &v) -> std::string {
             const auto n = parseInteger(v, 64, 1LL << 30);
             if (!n)
                 return "--max-frame wants a byte count from 64 to 1073741824";
             c.maxFrameSize = static_cast<std::size_t>(*n);
             return {};
         }},
        {"--threads",
         [](Config &c, const std::string &v) -> std::string {
             const auto n = parseInteger(v, 1, 256);
             if (!n)
                 return "--threads wants a number from 1 to 256";
             c.threads = static_cast<int>(*n);
             return {};
         }},
        {"--tls-cert",
         [](Config &c, const std::string &v) -> std::string {
             if (v.empty())
                 return "--tls-cert wants the path of a PEM certificate file";
             c.tlsCertFile = v;
             return {};
         }},
        {"--tls-key",
         [](Config &c, const std::string &v) -> std::string {
             if (v.empty())
                 return "--tls-key wants the path of a PEM private key file";
             c.tlsKeyFile = v;
             return {};
         }},
        {"--max-connections",
         [](Config &c, const std::string &v) -> std::string {
             const auto n = parseInteger(v, 1, 1'000'000);
             if (!n)
                 return "--max-connections wants a number from 1 to 1000000";
             c.maxConnections = static_cast<std::size_t>(*n);
             return {};
         }},
        {"--max-per-address",
         [](Config &c, const std::string &v) -> std::string {
             const auto n = parseInteger(v, 1, 1'000'000);
             if (!n)
                 return "--max-per-address wants a number from 1 to 1000000";
             c.maxConnectionsPerAddress = static_cast<std::size_t>(*n);
             return {};
         }},
        {"--login-timeout",
         [](Config &c, const std::string &v) -> std::string {
             double seconds = 0;
             const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), seconds);
             if (ec != std::errc{} || end != v.data() + v.size() || !std::isfinite(seconds) ||
                 seconds < 0.01 || seconds > 86400)
                 return "--login-timeout wants seconds between 0.01 and 86400";
             c.loginTimeout = std::chrono::milliseconds(std::llround(seconds * 1000));
             return {};
         }},
        {"--max-buffered",
         [](Config &c, const std::string &v) -> std::string {
             const auto n = parseInteger(v, 1024, 1LL << 40);
             if (!n)
                 return "--max-buffered wants a byte count from 1024 to 1099511627776";
             c.maxBufferedTotal = static_cast<std::size_t>(*n);
             return {};
         }},
        {"--address-login-failures",
         [](Config &c, const std::string &v) -> std::string {
             const auto n = parseInteger(v, 1, 1'000'000);
             if (!n)
                 return "--address-login-failures wants a number from 1 to 1000000";
             c.loginFailuresPerAddress = static_cast<int>(*n);
             return {};
         }},
        {"--min-version",
         [](Config &c, const std::string &v) -> std::string {
             if (!compareVersions(v, v))
                 return "--min-version wants a dotted numeric version such as 1.2.0";
             c.minimumVersion = v;
             return {};
         }},
        {"--download",
         [](Config &c, const std::string &v) {
             return setAddress(c.downloadAddress, "--download", v);
         }},
        {"--about",
         [](Config &c, const std::string &v) {
             return setAddress(c.aboutAddress, "--about", v);
         }},
        {"--help-url",
         [](Config &c, const std::string &v) {
             return setAddress(c.helpAddress, "--help-url", v);
         }},
    };
    return flags;
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string> &args)
{
    CommandLine result;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (!arg.starts_with("--")) {
            result.error = "unexpected argument '" + arg + "' (see --help)";
            return result;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        if (name == "--help" || name == "--demo") {
            if (equals != std::string::npos) {
                result.error = name + " takes no value";
                return result;
            }
            (name == "--help" ? result.help : result.config.demo) = true;
            continue;
        }
        const auto flag = valueFlags().find(name);
        if (flag == valueFlags().end()) {
            result.error = "unknown flag " + name + " (see --help)";
            return result;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            result.error = name + " needs a value";
            return result;
        }
        if (std::string message = flag->second(result.config, value); !message.empty()) {
            result.error = std::move(message);
            return result;
        }
    }
    if (result.config.tlsCertFile.empty() != result.config.tlsKeyFile.empty()) {
        result.error = "--tls-cert and --tls-key go together";
        return result;
    }
    if (!result.config.minimumVersion.empty() && result.config.downloadAddress.empty()) {
        result.error = "--min-version needs --download, the address outdated clients are sent to";
        return result;
    }
    return result;
}

std::string usageText()
{
    return R"(Usage: vantrell-server [flags]

  --listen ADDR:PORT   address and TCP port to accept clients on (127.0.0.1:8600);
                       port 0 picks a free one
  --db URL             database: sqlite:PATH, sqlite::memory: (a private in-memory
                       database, lost at exit) or postgresql://... (sqlite:vantrell.db)
  --page-size N        rows per list page, 1-1000 (20)
  --heartbeat SECONDS  period of the heartbeat probe; a client silent for three periods
                       is disconnected; fractions allowed (30)
  --max-frame BYTES    largest frame a client may send; larger ones close the
                       connection (1048576)
  --min-version V      clients announcing a lower dotted version are told to update
                       (none: every version is accepted)
  --download URL       where outdated clients download the new version
  --about URL          page shown by the client's "about us"
  --help-url URL       page shown by the client's "help"
  --key-alphabet TEXT  the 62 distinct characters of the free-text scrambling; must
                       equal the client's built-in alphabet (built-in)
  --threads N          worker threads, 1-256 (as many as cores)
  --tls-cert FILE      PEM certificate chain; with --tls-key the port speaks only
                       TLS 1.2 or later (plain TCP)
  --tls-key FILE       PEM private key of the certificate
  --max-connections N  connections held at once; further ones are closed at once (10000)
  --max-per-address N  connections held at once from one address (200)
  --login-timeout SECONDS
                       a connection that has not logged in this long after connecting
                       is closed (60)
  --max-buffered BYTES partial frames held for all connections together; the connection
                       that would pass it is closed (268435456)
  --address-login-failures N
                       failed logins from one address within ten minutes, whatever
                       the user names, before it is refused logins for ten minutes (30)
  --demo               seed demo merchants and their data at start
  --help               show this text

Values may follow the flag or be joined to it with "=". A bad value stops the server
with exit code 2. SIGINT and SIGTERM stop it gracefully.
)";
}

} // namespace vantrell::server
