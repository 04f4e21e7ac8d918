// Load generator for vantrell-server: N idle logged-in connections that only answer the
// server's heartbeat probes, plus M active ones sending requests in a closed loop (the
// next one when the previous one is answered): order lists, goods lists and orders, or
// version checks (no database), or redis PINGs for a baseline. It makes its own
// merchants through the protocol (a supplier with goods, purchasers that are its active
// partners, some orders), so it runs against any server; without --connect it starts
// the server in this process on a temporary SQLite file (or --db).
//
// Prints errors, dropped connections, missed heartbeats, throughput and p50/p99
// latency per request; with --pid the server process's CPU time over the load and its
// resident memory before, with and after the connections. Exit code 0 only when no
// request failed and no connection was dropped. See bench/README.md for the figures.
//
//   vantrell-loadgen [--connect HOST:PORT [--pid PID]] [--db URL] [--server-threads N]
//                    [--idle N] [--active M] [--seconds S] [--mix list=8,goods=1,order=1]
//                    [--heartbeat SECONDS] [--purchasers P] [--goods G] [--seed-orders K]
//                    [--login-parallel L] [--timeout SECONDS] [--settle SECONDS] [--think SECONDS]
//                    [--redis]
//                    [--bare-sqlite FILE | --bare-postgres URL] [--bare-cpus LIST]

#include "protocol/fieldtext.h"
#include "protocol/frame.h"
#include "protocol/gbk.h"
#include "protocol/listreply.h"
#include "protocol/md5.h"
#include "server/db/database.h"
#include "server/handlers.h"
#include "server/log.h"
#include "server/server.h"

#include <asio/co_spawn.hpp>
#include <asio/connect.hpp>
#include <asio/detached.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>
#include <asio/write.hpp>

#include <libpq-fe.h>
#include <sched.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace vantrell;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using asio::ip::tcp;
constexpr auto kUseTuple = asio::experimental::as_tuple(asio::use_awaitable);

// ---- options ----

enum Kind
{
    kOrderList,
    kGoodsList,
    kOrder,
    kVersion,
    kPing,
    kKinds
};
constexpr const char *kKindNames[kKinds] = {"order list", "goods list", "order", "version check",
                                            "redis PING"};
constexpr const char *kMixNames[kKinds] = {"list", "goods", "order", "version", "ping"};

struct Options
{
    std::string connect; // HOST:PORT; empty: the server in this process
    int pid = 0;         // the server's process, for its CPU time and memory
    std::string db;      // the in-process server's database; empty: a temporary SQLite file
    int serverThreads = 0;
    int idle = 10;
    int active = 2;
    double seconds = 5;
    std::array<int, kKinds> mix = {8, 1, 1, 0, 0};
    double heartbeat = 30;
    int purchasers = 8;
    int goods = 5;
    int seedOrders = 20;
    int loginParallel = 8;
    double timeout = 30;
    double settle = 2;
    double think = 0; // mean pause of an active connection between a reply and its next request
    bool redis = false;
    std::string bareSqlite;
    std::string barePostgres;
    std::string bareCpus;

    bool needsAccounts() const { return !redis && (mix[kOrderList] + mix[kGoodsList] + mix[kOrder]) > 0; }
};

[[noreturn]] void usage(const std::string &problem)
{
    std::fprintf(stderr, "vantrell-loadgen: %s\n(see the head of bench/loadgen.cpp for the flags)\n",
                 problem.c_str());
    std::exit(2);
}

double positive(const std::string &flag, const std::string &text, double low, double high)
{
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value >= low && value <= high))
        usage(flag + " must be a number from " + std::to_string(low) + " to " + std::to_string(high));
    return value;
}

int whole(const std::string &flag, const std::string &text, int low, int high)
{
    const double value = positive(flag, text, low, high);
    if (value != std::floor(value))
        usage(flag + " must be a whole number");
    return static_cast<int>(value);
}

std::array<int, kKinds> parseMix(const std::string &text)
{
    std::array<int, kKinds> mix{};
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        const std::size_t eq = item.find('=');
        const std::string name = item.substr(0, eq);
        const int weight = eq == std::string::npos ? 1 : whole("--mix " + name, item.substr(eq + 1), 0, 1000);
        const auto *found = std::find_if(std::begin(kMixNames), std::end(kMixNames),
                                         [&](const char *n) { return name == n; });
        if (found == std::end(kMixNames) || found - std::begin(kMixNames) == kPing)
            usage("--mix takes list, goods, order or version, e.g. list=8,goods=1,order=1");
        mix[static_cast<std::size_t>(found - std::begin(kMixNames))] += weight;
    }
    if (mix[kVersion] > 0 && (mix[kOrderList] + mix[kGoodsList] + mix[kOrder]) > 0)
        usage("--mix version stands alone: version checks need no login");
    if (std::all_of(mix.begin(), mix.end(), [](int w) { return w == 0; }))
        usage("--mix names no request");
    return mix;
}

Options parseOptions(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag == "--redis") {
            o.redis = true;
            continue;
        }
        if (i + 1 >= argc)
            usage(flag + " needs a value");
        const std::string value = argv[++i];
        if (flag == "--connect")
            o.connect = value;
        else if (flag == "--pid")
            o.pid = whole(flag, value, 1, 1 << 30);
        else if (flag == "--db")
            o.db = value;
        else if (flag == "--server-threads")
            o.serverThreads = whole(flag, value, 1, 256);
        else if (flag == "--idle")
            o.idle = whole(flag, value, 0, 100000);
        else if (flag == "--active")
            o.active = whole(flag, value, 0, 10000);
        else if (flag == "--seconds")
            o.seconds = positive(flag, value, 0.1, 86400);
        else if (flag == "--mix")
            o.mix = parseMix(value);
        else if (flag == "--heartbeat")
            o.heartbeat = positive(flag, value, 0.01, 86400);
        else if (flag == "--purchasers")
            o.purchasers = whole(flag, value, 1, 999);
        else if (flag == "--goods")
            o.goods = whole(flag, value, 1, 20);
        else if (flag == "--seed-orders")
            o.seedOrders = whole(flag, value, 0, 100000);
        else if (flag == "--login-parallel")
            o.loginParallel = whole(flag, value, 1, 1000);
        else if (flag == "--timeout")
            o.timeout = positive(flag, value, 0.1, 3600);
        else if (flag == "--settle")
            o.settle = positive(flag, value, 0, 600);
        else if (flag == "--think")
            o.think = positive(flag, value, 0, 3600);
        else if (flag == "--bare-sqlite")
            o.bareSqlite = value;
        else if (flag == "--bare-postgres")
            o.barePostgres = value;
        else if (flag == "--bare-cpus")
            o.bareCpus = value;
        else
            usage("unknown flag " + flag);
    }
    if (o.redis) {
        if (o.connect.empty())
            usage("--redis needs --connect to a redis-server");
        o.mix = {0, 0, 0, 0, 1};
    }
    if (o.pid != 0 && o.connect.empty())
        usage(
            "--pid goes with --connect (the server in this process shares its CPU and memory with the load)");
    if ((!o.bareSqlite.empty() || !o.barePostgres.empty()) && (o.mix[kOrderList] == 0 || o.active == 0))
        usage("the bare baselines compare against order lists: --mix list and --active above 0");
    return o;
}

// ---- what the run counts ----

struct Stats
{
    std::array<std::vector<float>, kKinds> latencyMs; // requests answered within the load's time
    std::vector<float> loginMs;
    long long errors = 0;
    long long dropped = 0;
    long long probes = 0;
    long long missedHeartbeats = 0;
    std::vector<std::string> samples; // the first few errors, to say what went wrong

    void error(std::string what)
    {
        ++errors;
        if (samples.size() < 8)
            samples.push_back(std::move(what));
    }
};

Stats g_stats;

double percentile(std::vector<float> values, double q)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1))];
}

std::string utf8(std::string_view gbk)
{
    return protocol::gbkToUtf8(gbk).value_or("(not GBK)");
}

std::string toGbk(const std::string &utf8Text)
{
    auto bytes = protocol::utf8ToGbk(utf8Text);
    if (!bytes)
        throw std::invalid_argument("not writable in GBK: " + utf8Text);
    return *bytes;
}

// ---- one connection ----

struct Reply
{
    std::string name;   // UTF-8
    std::string fields; // GBK, as received
};

class Link : public std::enable_shared_from_this<Link>
{
public:
    Link(asio::io_context &io, bool redis) : m_socket(io), m_arrived(io), m_redis(redis) {}

    asio::awaitable<bool> open(const tcp::endpoint &endpoint)
    {
        const auto [ec] = co_await m_socket.async_connect(endpoint, kUseTuple);
        if (ec) {
            g_stats.error("connect: " + ec.message());
            m_closed = true;
            co_return false;
        }
        asio::error_code ignored;
        m_socket.set_option(tcp::no_delay(true), ignored);
        asio::co_spawn(
            m_socket.get_executor(), [self = shared_from_this()] { return self->readLoop(); },
            asio::detached);
        co_return true;
    }

    void send(const std::string &name, const std::string &fields)
    {
        std::string wire;
        m_encoder.encodeTo(toGbk(protocol::makePayload(name, fields)), wire);
        sendWire(std::move(wire));
    }
    void sendPing() { sendWire("PING\r\n"); }

    // The next reply that is not a heartbeat probe; nullopt on timeout or when the
    // connection closed.
    asio::awaitable<std::optional<Reply>> next(Clock::duration timeout)
    {
        const auto deadline = Clock::now() + timeout;
        while (m_replies.empty()) {
            if (m_closed || Clock::now() >= deadline)
                co_return std::nullopt;
            m_arrived.expires_at(deadline);
            co_await m_arrived.async_wait(kUseTuple);
        }
        Reply reply = std::move(m_replies.front());
        m_replies.pop_front();
        co_return reply;
    }

    // Sends a request and waits for the reply named `expected`; anything else is an error.
    asio::awaitable<std::optional<Reply>> request(const std::string &name, const std::string &fields,
                                                  const std::string &expected, Clock::duration timeout)
    {
        send(name, fields);
        auto reply = co_await next(timeout);
        if (!reply) {
            g_stats.error(name + ": " + (m_closed ? "connection closed" : "no answer in time"));
            co_return std::nullopt;
        }
        if (reply->name != expected) {
            g_stats.error(name + ": " + reply->name + " " + utf8(reply->fields).substr(0, 120));
            co_return std::nullopt;
        }
        co_return reply;
    }

    // From now on the probes are expected every `period`; a longer gap counts as missed.
    void watchHeartbeats(Clock::duration period)
    {
        m_period = period;
        m_lastProbe = Clock::now();
    }
    // The gap since the last probe, at the end of the run.
    void finishHeartbeats()
    {
        if (m_period.count() > 0 && !m_closed)
            countGap(Clock::now());
        m_period = {};
    }

    // Closed by us: not a drop.
    void close()
    {
        m_closing = true;
        asio::error_code ignored;
        m_socket.shutdown(tcp::socket::shutdown_both, ignored);
        m_socket.close(ignored);
        m_closed = true;
        m_arrived.cancel();
    }
    bool closed() const { return m_closed; }
    // Watched from the login on: a close by the server after that is a dropped connection.
    void countDrops() { m_countDrops = true; }

private:
    void sendWire(std::string wire)
    {
        if (m_closed)
            return;
        m_out.push_back(std::move(wire));
        if (!m_writing) {
            m_writing = true;
            asio::co_spawn(
                m_socket.get_executor(), [self = shared_from_this()] { return self->writeLoop(); },
                asio::detached);
        }
    }

    asio::awaitable<void> writeLoop()
    {
        while (!m_out.empty() && !m_closed) {
            const std::string wire = std::move(m_out.front());
            m_out.pop_front();
            const auto [ec, n] = co_await asio::async_write(m_socket, asio::buffer(wire), kUseTuple);
            if (ec) {
                lost("write failed: " + ec.message());
                break;
            }
        }
        m_writing = false;
    }

    asio::awaitable<void> readLoop()
    {
        std::vector<char> buffer(8192);
        static const std::string probe = protocol::gbk("心跳包");
        while (!m_closed) {
            const auto [ec, n] = co_await m_socket.async_read_some(asio::buffer(buffer), kUseTuple);
            if (ec) {
                lost(ec == asio::error::eof ? "closed by the server" : "read failed: " + ec.message());
                co_return;
            }
            if (m_redis) {
                readRedis(std::string_view(buffer.data(), n));
                continue;
            }
            m_events.clear();
            const auto status = m_decoder.feed(std::string_view(buffer.data(), n), m_events);
            for (protocol::DecodedEvent &event : m_events) {
                if (event.kind == protocol::DecodedEvent::Kind::ConnectionLost) {
                    lost("LEN 0 frame from the server");
                    co_return;
                }
                const protocol::Payload parts = protocol::splitPayload(event.payload);
                if (parts.name == probe) {
                    onProbe();
                    continue;
                }
                m_replies.push_back({utf8(parts.name), std::string(parts.fields)});
            }
            if (status == protocol::FrameDecoder::Status::ConnectionLost) {
                lost("bad frame from the server");
                co_return;
            }
            if (!m_replies.empty())
                m_arrived.cancel();
        }
    }

    void readRedis(std::string_view bytes)
    {
        m_line.append(bytes);
        std::size_t start = 0;
        for (std::size_t end; (end = m_line.find('\n', start)) != std::string::npos; start = end + 1)
            m_replies.push_back(
                {m_line.compare(start, 5, "+PONG") == 0 ? "PONG" : m_line.substr(start, end - start), {}});
        m_line.erase(0, start);
        if (!m_replies.empty())
            m_arrived.cancel();
    }

    void onProbe()
    {
        ++g_stats.probes;
        send("心跳包", "");
        if (m_period.count() > 0)
            countGap(Clock::now());
    }

    void countGap(Clock::time_point now)
    {
        const double periods = std::chrono::duration<double>(now - m_lastProbe) / m_period;
        if (periods > 1.5)
            g_stats.missedHeartbeats += std::max(1LL, std::llround(periods) - 1);
        m_lastProbe = now;
    }

    void lost(const std::string &why)
    {
        if (m_closed)
            return;
        m_closed = true;
        if (!m_closing && m_countDrops) {
            ++g_stats.dropped;
            if (g_stats.samples.size() < 8)
                g_stats.samples.push_back("dropped: " + why);
        }
        asio::error_code ignored;
        m_socket.close(ignored);
        m_arrived.cancel();
    }

    tcp::socket m_socket;
    asio::steady_timer m_arrived; // cancelled when a reply arrives or the connection ends
    bool m_redis;
    protocol::FrameEncoder m_encoder;
    protocol::FrameDecoder m_decoder;
    std::vector<protocol::DecodedEvent> m_events;
    std::deque<Reply> m_replies;
    std::deque<std::string> m_out;
    std::string m_line;
    bool m_writing = false;
    bool m_closed = false;
    bool m_closing = false;
    bool m_countDrops = false;
    Clock::duration m_period{};
    Clock::time_point m_lastProbe;
};

using LinkPtr = std::shared_ptr<Link>;

// ---- the merchants ----

struct Shop
{
    std::string supplierCompany;
    std::string supplierId;
    std::vector<std::string> goodsIds;
    std::vector<std::string> purchasers;   // user names
    std::vector<std::string> purchaserIds; // account IDs, as the supplier's partner list shows them
};

const std::string kPassword = protocol::md5Hex("loadgen-password");

// A tag that keeps this run's names apart from earlier runs against the same database.
std::string runTag()
{
    const auto seed = static_cast<unsigned long long>(std::time(nullptr)) * 7919ULL +
                      static_cast<unsigned long long>(::getpid());
    std::string tag;
    unsigned long long v = seed % 78364164096ULL; // 36^7
    for (int i = 0; i < 7; ++i, v /= 36)
        tag.push_back("0123456789abcdefghijklmnopqrstuvwxyz"[v % 36]);
    return tag;
}

std::string fields(std::initializer_list<std::pair<const char *, std::string>> pairs)
{
    protocol::FieldWriter writer;
    for (const auto &[key, value] : pairs)
        writer.add(key, value);
    return std::move(writer).str();
}

std::string loginFields(const std::string &user)
{
    return fields({{"用户名", user}, {"密码", kPassword}});
}

// The field texts of the setup's requests. (Kept out of the coroutines: GCC 12 cannot
// keep braced lists of string literals in a coroutine frame.)
std::string registration(const std::string &user, const std::string &company, const char *type)
{
    return fields({{"用户名", user},
                   {"密码", kPassword},
                   {"手机号", "13800000000"},
                   {"公司", company},
                   {"类型", type}});
}

std::string goodsItem(int i)
{
    return fields({{"商品ID", ""},
                   {"商品名称", "压测商品" + std::to_string(i)},
                   {"商品编码", "LG" + std::to_string(i)},
                   {"商品规格", "500克"},
                   {"商品单价", "12.50"},
                   {"商品重量", "0.500"},
                   {"商品库存", "99999999"},
                   {"商品单位", "袋"},
                   {"商品分类", "压测"}});
}

std::string supplierGoodsList()
{
    return fields({{"关键词", ""}, {"查询页数", "1"}, {"商品状态", "1"}});
}

std::string contactData()
{
    return fields(
        {{"联系人", "压测联系人"}, {"电话", "13900000000"}, {"邮箱", ""}, {"地址", "上海市浦东新区"}});
}

std::string keyword(const std::string &text)
{
    return fields({{"关键词", text}});
}

std::string supplierField(const std::string &id)
{
    return fields({{"供应商ID", id}});
}

std::string partnerList(const std::string &company)
{
    return fields({{"关键词", company}, {"查询页数", "1"}, {"合作类型", "0"}});
}

std::string enablePartner(const std::string &id)
{
    return fields({{"ID", id}, {"类型", "1"}});
}

std::string orderListFields()
{
    return fields({{"订单类型", "0"}, {"合作商ID", "0"}, {"关键词", ""}, {"查询页数", "1"}});
}

std::string purchaserGoodsList(const std::string &supplierId)
{
    return fields({{"供应商ID", supplierId}, {"关键词", ""}, {"查询页数", "1"}, {"商品状态", "1"}});
}

std::string versionFields()
{
    return fields({{"版本号", "1.0.0"}});
}

// The cell of column `caption` in the first row of a list reply; empty when there is none.
std::string firstCell(const Reply &reply, const std::string &caption)
{
    const protocol::ListReply list = protocol::parseListReply(reply.fields);
    const std::string key = protocol::gbk(caption);
    for (std::size_t c = 0; c < list.columns.size(); ++c) {
        if (list.columns[c].caption == key && !list.rows.empty())
            return list.rows.front()[c];
    }
    return {};
}

std::vector<std::string> column(const Reply &reply, const std::string &caption)
{
    const protocol::ListReply list = protocol::parseListReply(reply.fields);
    const std::string key = protocol::gbk(caption);
    std::vector<std::string> cells;
    for (std::size_t c = 0; c < list.columns.size(); ++c) {
        if (list.columns[c].caption == key) {
            for (const auto &row : list.rows)
                cells.push_back(row[c]);
        }
    }
    return cells;
}

std::string orderFields(const Shop &shop, std::size_t goods)
{
    return fields({{"供应商ID", shop.supplierId}, {"收货地址", ""}, {"供应商留言", ""}}) +
           "数据详情_商品ID[" + shop.goodsIds[goods % shop.goodsIds.size()] + "]数量[1]\r\n";
}

// A supplier with goods, purchasers that are its active partners, and orders of theirs;
// all through the protocol, as merchants would do it. Throws when a step is refused.
asio::awaitable<Shop> makeShop(asio::io_context &io, const tcp::endpoint &endpoint, const Options &o)
{
    const auto timeout =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(o.timeout));
    const std::string tag = runTag();
    const auto must = [](const std::optional<Reply> &reply, const char *what) {
        if (!reply)
            throw std::runtime_error(std::string("setup: ") + what + " failed");
        return *reply;
    };
    Shop shop;
    shop.supplierCompany = "压测供应商" + tag;
    const std::string supplier = "lg" + tag + "s";

    auto seller = std::make_shared<Link>(io, false);
    if (!co_await seller->open(endpoint))
        throw std::runtime_error("setup: cannot connect");
    must(co_await seller->request("登陆系统_注册账号", registration(supplier, shop.supplierCompany, "2"),
                                  "登陆系统_账号注册成功", timeout),
         "registering the supplier");
    must(co_await seller->request("登陆系统_用户登陆", loginFields(supplier), "登陆系统_登陆成功", timeout),
         "the supplier's login");
    for (int i = 0; i < o.goods; ++i) {
        must(
            co_await seller->request("基础通讯_增加编辑商品", goodsItem(i), "基础通讯_增加商品成功", timeout),
            "adding goods");
    }
    const Reply goods = must(co_await seller->request("基础通讯_供应商查询商品列表", supplierGoodsList(),
                                                      "基础通讯_返回供应商查询商品列表", timeout),
                             "the goods list");
    shop.goodsIds = column(goods, "ID");
    if (shop.goodsIds.size() != static_cast<std::size_t>(o.goods))
        throw std::runtime_error("setup: the goods list shows " + std::to_string(shop.goodsIds.size()) +
                                 " goods, not " + std::to_string(o.goods));

    for (int i = 0; i < o.purchasers; ++i) {
        const std::string name = "lg" + tag + "p" + std::to_string(i);
        const std::string company = "压测采购商" + tag + std::to_string(i);
        auto buyer = std::make_shared<Link>(io, false);
        if (!co_await buyer->open(endpoint))
            throw std::runtime_error("setup: cannot connect");
        must(co_await buyer->request("登陆系统_注册账号", registration(name, company, "1"),
                                     "登陆系统_账号注册成功", timeout),
             "registering a purchaser");
        must(co_await buyer->request("登陆系统_用户登陆", loginFields(name), "登陆系统_登陆成功", timeout),
             "a purchaser's login");
        must(co_await buyer->request("基础通讯_保存个人中心基本资料", contactData(),
                                     "基础通讯_保存个人中心基本资料成功", timeout),
             "a purchaser's contact data");
        if (shop.supplierId.empty()) {
            const Reply suppliers =
                must(co_await buyer->request("基础通讯_获取合作商列表", keyword(shop.supplierCompany),
                                             "基础通讯_返回合作商列表", timeout),
                     "the supplier list");
            shop.supplierId = firstCell(suppliers, "ID");
        }
        must(co_await buyer->request("基础通讯_申请合作", supplierField(shop.supplierId), "提示信息_信息",
                                     timeout),
             "applying for cooperation");
        const Reply partners =
            must(co_await seller->request("基础通讯_获取申请合作列表", partnerList(company),
                                          "基础通讯_返回申请合作列表", timeout),
                 "the partner list");
        const std::string id = firstCell(partners, "ID");
        must(co_await seller->request("基础通讯_启用停用商家", enablePartner(id), "基础通讯_启用商家成功",
                                      timeout),
             "enabling a purchaser");
        for (int k = 0; k < o.seedOrders; ++k)
            must(co_await buyer->request("基础通讯_下单", orderFields(shop, static_cast<std::size_t>(k)),
                                         "基础通讯_下单成功", timeout),
                 "a seed order");
        shop.purchasers.push_back(name);
        shop.purchaserIds.push_back(id);
        buyer->close();
    }
    seller->close();
    co_return shop;
}

// ---- the server's process ----

struct ProcessFigures
{
    double cpuSeconds = 0; // user + system, all threads
    double rssKiB = 0;
    double anonKiB = 0; // the part of it that is no file's (heap, stacks)
};

ProcessFigures processFigures(int pid)
{
    ProcessFigures f;
    if (pid == 0)
        return f;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t paren = text.rfind(')');
    if (paren != std::string::npos) {
        std::istringstream rest(text.substr(paren + 2));
        std::string field;
        // Fields 3.. after the name; utime and stime are fields 14 and 15.
        std::vector<std::string> values;
        while (rest >> field)
            values.push_back(field);
        if (values.size() > 12)
            f.cpuSeconds =
                (std::stod(values[11]) + std::stod(values[12])) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            f.rssKiB = std::stod(line.substr(6));
        else if (line.rfind("RssAnon:", 0) == 0)
            f.anonKiB = std::stod(line.substr(8));
    }
    return f;
}

std::string cpusAllowed()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return "?";
    std::string cpus;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &set))
            cpus += (cpus.empty() ? "" : ",") + std::to_string(cpu);
    }
    return cpus;
}

void pinTo(const std::string &list)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    std::stringstream in(list);
    for (std::string cpu; std::getline(in, cpu, ',');)
        CPU_SET(whole("--bare-cpus", cpu, 0, CPU_SETSIZE - 1), &set);
    if (sched_setaffinity(0, sizeof set, &set) != 0)
        throw std::runtime_error("cannot pin to CPUs " + list);
}

// ---- the run ----

struct Run
{
    asio::io_context &io;
    const Options &o;
    tcp::endpoint endpoint;
    Shop shop;
    std::vector<LinkPtr> idle;
    std::vector<LinkPtr> active;
    Clock::time_point end;
    bool measuring = false;
    int running = 0;
    asio::steady_timer wake{io};

    Clock::duration timeout() const
    {
        return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(o.timeout));
    }
    Clock::duration heartbeat() const
    {
        return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(o.heartbeat));
    }

    // Opens `count` connections (logged in when the mix needs it), `o.loginParallel` at a
    // time, so that none waits long between its connect and its login.
    asio::awaitable<void> openLinks(std::vector<LinkPtr> &into, int count, int first)
    {
        into.resize(static_cast<std::size_t>(count));
        int nextIndex = 0;
        int workers = 0;
        asio::steady_timer done(io);
        const auto worker = [&]() -> asio::awaitable<void> {
            for (int i; (i = nextIndex++) < count;) {
                auto link = std::make_shared<Link>(io, o.redis);
                into[static_cast<std::size_t>(i)] = link;
                if (!co_await link->open(endpoint))
                    continue;
                if (o.needsAccounts()) {
                    const std::string &user =
                        shop.purchasers[static_cast<std::size_t>(first + i) % shop.purchasers.size()];
                    const auto sent = Clock::now();
                    if (!co_await link->request("登陆系统_用户登陆", loginFields(user), "登陆系统_登陆成功",
                                                timeout()))
                        continue;
                    g_stats.loginMs.push_back(
                        std::chrono::duration<float, std::milli>(Clock::now() - sent).count());
                }
                if (!o.redis)
                    link->watchHeartbeats(heartbeat());
                link->countDrops();
            }
            if (--workers == 0)
                done.cancel();
        };
        for (int w = 0; w < std::min(o.loginParallel, std::max(count, 1)); ++w) {
            ++workers;
            asio::co_spawn(io, worker, asio::detached);
        }
        done.expires_at(Clock::time_point::max());
        if (workers > 0)
            co_await done.async_wait(kUseTuple);
    }

    asio::awaitable<void> activeLoop(std::size_t index)
    {
        const LinkPtr link = active[index];
        std::vector<Kind> schedule;
        for (int k = 0; k < kKinds; ++k)
            for (int w = 0; w < o.mix[static_cast<std::size_t>(k)]; ++w)
                schedule.push_back(static_cast<Kind>(k));
        std::size_t turn = index;
        const std::string orderList = orderListFields();
        const std::string goodsList = o.needsAccounts() ? purchaserGoodsList(shop.supplierId) : std::string();
        const std::string order = o.needsAccounts() ? orderFields(shop, index) : std::string();
        const std::string version = versionFields();
        asio::steady_timer pause(io);
        std::minstd_rand random(static_cast<unsigned>(index) + 1);
        while (link && !link->closed() && Clock::now() < end) {
            const Kind kind = schedule[turn++ % schedule.size()];
            const auto sent = Clock::now();
            bool ok = false;
            switch (kind) {
            case kOrderList:
                ok = (co_await link->request("基础通讯_查询订单", orderList, "基础通讯_返回订单列表",
                                             timeout()))
                         .has_value();
                break;
            case kGoodsList:
                ok = (co_await link->request("基础通讯_采购商查询商品列表", goodsList,
                                             "基础通讯_返回采购商查询商品列表", timeout()))
                         .has_value();
                break;
            case kOrder:
                ok = (co_await link->request("基础通讯_下单", order, "基础通讯_下单成功", timeout()))
                         .has_value();
                break;
            case kVersion:
                ok = (co_await link->request("版本验证_验证", version, "发现版本", timeout())).has_value();
                break;
            case kPing: {
                link->sendPing();
                const auto reply = co_await link->next(timeout());
                ok = reply && reply->name == "PONG";
                if (!ok)
                    g_stats.error("PING: " + (reply ? reply->name : std::string("no answer")));
                break;
            }
            default:
                break;
            }
            const auto answered = Clock::now();
            if (ok && answered <= end)
                g_stats.latencyMs[kind].push_back(
                    std::chrono::duration<float, std::milli>(answered - sent).count());
            if (o.think > 0) {
                // A merchant reads the page before the next click: 0.5 to 1.5 times the mean.
                std::uniform_real_distribution<double> factor(0.5, 1.5);
                pause.expires_after(std::chrono::duration_cast<Clock::duration>(
                    std::chrono::duration<double>(o.think * factor(random))));
                co_await pause.async_wait(kUseTuple);
            }
        }
        if (--running == 0)
            wake.cancel();
    }

    asio::awaitable<void> sleep(double seconds)
    {
        asio::steady_timer timer(io);
        timer.expires_after(
            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)));
        co_await timer.async_wait(kUseTuple);
    }

    asio::awaitable<void> main()
    {
        const auto setupStart = Clock::now();
        if (o.needsAccounts()) {
            shop = co_await makeShop(io, endpoint, o);
            std::printf("setup: 1 supplier, %d goods, %d purchasers, %d orders in %.1f s\n", o.goods,
                        o.purchasers, o.purchasers * o.seedOrders,
                        std::chrono::duration<double>(Clock::now() - setupStart).count());
            std::fflush(stdout);
        }
        co_await sleep(o.settle);
        const ProcessFigures before = processFigures(o.pid);

        const auto openStart = Clock::now();
        co_await openLinks(idle, o.idle, 0);
        const double idleSeconds = std::chrono::duration<double>(Clock::now() - openStart).count();
        co_await sleep(o.settle);
        const ProcessFigures withIdle = processFigures(o.pid);
        co_await openLinks(active, o.active, o.idle);
        const double openSeconds = std::chrono::duration<double>(Clock::now() - openStart).count();
        const auto open = [](const std::vector<LinkPtr> &links) {
            return std::count_if(links.begin(), links.end(),
                                 [](const LinkPtr &l) { return l && !l->closed(); });
        };
        std::printf("opened: %ld idle (%.1f s) + %ld active%s in %.1f s", static_cast<long>(open(idle)),
                    idleSeconds, static_cast<long>(open(active)), o.needsAccounts() ? ", logged in" : "",
                    openSeconds);
        if (!g_stats.loginMs.empty())
            std::printf("; login p50 %.1f ms p99 %.1f ms", percentile(g_stats.loginMs, 0.5),
                        percentile(g_stats.loginMs, 0.99));
        std::printf("\n");
        std::fflush(stdout);

        const ProcessFigures loadStart = processFigures(o.pid);
        const auto start = Clock::now();
        end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(o.seconds));
        running = static_cast<int>(active.size());
        for (std::size_t i = 0; i < active.size(); ++i)
            asio::co_spawn(io, activeLoop(i), asio::detached);
        if (running > 0) {
            wake.expires_at(Clock::time_point::max());
            co_await wake.async_wait(kUseTuple);
        } else {
            co_await sleep(o.seconds);
        }
        const double window =
            std::min(std::chrono::duration<double>(Clock::now() - start).count(), o.seconds);
        const ProcessFigures loadEnd = processFigures(o.pid);
        for (auto *links : {&idle, &active})
            for (const LinkPtr &link : *links)
                if (link)
                    link->finishHeartbeats();
        const ProcessFigures allOpen = processFigures(o.pid);
        for (auto *links : {&idle, &active})
            for (const LinkPtr &link : *links)
                if (link)
                    link->close();
        co_await sleep(std::max(o.settle, 1.0));
        const ProcessFigures closed = processFigures(o.pid);

        std::printf(
            "load: %.1f s, %d active connections (pause between requests %.2f s on average), %d idle\n",
            window, o.active, o.think, o.idle);
        long long total = 0;
        for (int k = 0; k < kKinds; ++k) {
            const auto &lat = g_stats.latencyMs[static_cast<std::size_t>(k)];
            if (lat.empty() && o.mix[static_cast<std::size_t>(k)] == 0)
                continue;
            total += static_cast<long long>(lat.size());
            std::printf("  %-14s %9zu req %10.1f /s   p50 %8.2f ms   p99 %8.2f ms\n", kKindNames[k],
                        lat.size(), static_cast<double>(lat.size()) / window, percentile(lat, 0.5),
                        percentile(lat, 0.99));
        }
        std::printf("  %-14s %9lld req %10.1f /s\n", "all", total, static_cast<double>(total) / window);
        if (!o.redis)
            std::printf("heartbeats: %lld answered, %lld missed (period %.2f s)\n", g_stats.probes,
                        g_stats.missedHeartbeats, o.heartbeat);
        std::printf("errors: %lld   dropped connections: %lld\n", g_stats.errors, g_stats.dropped);
        for (const std::string &sample : g_stats.samples)
            std::printf("  %s\n", sample.c_str());
        if (o.pid != 0) {
            const double cpu = loadEnd.cpuSeconds - loadStart.cpuSeconds;
            std::printf("server pid %d: CPU %.2f s over the load = %.1f us per request\n", o.pid, cpu,
                        total > 0 ? cpu / static_cast<double>(total) * 1e6 : 0.0);
            std::printf("server pid %d: RSS %.1f MiB before, %.1f MiB with %d idle (%.2f KiB each), "
                        "%.1f MiB with all, %.1f MiB %.1f s after closing all\n",
                        o.pid, before.rssKiB / 1024, withIdle.rssKiB / 1024, o.idle,
                        o.idle > 0 ? (withIdle.rssKiB - before.rssKiB) / o.idle : 0.0, allOpen.rssKiB / 1024,
                        closed.rssKiB / 1024, std::max(o.settle, 1.0));
            std::printf(
                "server pid %d: of it anonymous %.1f MiB before, %.1f MiB with %d idle (%.2f KiB each), "
                "%.1f MiB with all, %.1f MiB after closing all\n",
                o.pid, before.anonKiB / 1024, withIdle.anonKiB / 1024, o.idle,
                o.idle > 0 ? (withIdle.anonKiB - before.anonKiB) / o.idle : 0.0, allOpen.anonKiB / 1024,
                closed.anonKiB / 1024);
        }
        std::fflush(stdout);
    }
};

// ---- the bare baselines: the order list's COUNT and page without the server ----

// The order list of a purchaser as the server's order store asks for it (every state,
// any partner, the first page).
constexpr const char *kListWhere = " FROM orders o JOIN accounts p ON p.id = o.supplier_id"
                                   " WHERE o.purchaser_id = ?1 AND o.state IN (0, 1, 2, 3)"
                                   " AND (?2 = 0 OR o.supplier_id = ?2)";

double bareSqlite(const std::string &path, const std::vector<std::string> &purchasers, double seconds,
                  int pageSize)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        throw std::runtime_error("bare SQLite: cannot open " + path);
    sqlite3_busy_timeout(db, 10000);
    const auto prepare = [&](const std::string &sql) {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
            throw std::runtime_error("bare SQLite: " + std::string(sqlite3_errmsg(db)));
        return statement;
    };
    sqlite3_stmt *begin = prepare("BEGIN");
    sqlite3_stmt *commit = prepare("COMMIT");
    sqlite3_stmt *count = prepare(std::string("SELECT COUNT(*)") + kListWhere);
    sqlite3_stmt *page =
        prepare(std::string("SELECT o.id, o.state, o.order_no, p.company, o.pieces, o.total_fen,"
                            " o.created_at") +
                kListWhere + " ORDER BY o.created_at DESC, o.id DESC LIMIT ?3 OFFSET ?4");
    const auto step = [&](sqlite3_stmt *s) {
        if (sqlite3_step(s) != SQLITE_DONE)
            throw std::runtime_error("bare SQLite: " + std::string(sqlite3_errmsg(db)));
        sqlite3_reset(s);
    };
    long long queries = 0;
    long long rows = 0;
    const auto start = Clock::now();
    const auto end =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    std::vector<std::string> cells(7);
    while (Clock::now() < end) {
        const long long me = std::stoll(purchasers[static_cast<std::size_t>(queries) % purchasers.size()]);
        step(begin);
        sqlite3_bind_int64(count, 1, me);
        sqlite3_bind_int64(count, 2, 0);
        if (sqlite3_step(count) != SQLITE_ROW)
            throw std::runtime_error("bare SQLite: no count");
        const long long total = sqlite3_column_int64(count, 0);
        sqlite3_reset(count);
        sqlite3_bind_int64(page, 1, me);
        sqlite3_bind_int64(page, 2, 0);
        sqlite3_bind_int64(page, 3, pageSize);
        sqlite3_bind_int64(page, 4, 0);
        while (sqlite3_step(page) == SQLITE_ROW) {
            for (int c = 0; c < 7; ++c) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(page, c));
                cells[static_cast<std::size_t>(c)].assign(text ? text : "");
            }
            ++rows;
        }
        sqlite3_reset(page);
        step(commit);
        queries += total >= 0;
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    for (sqlite3_stmt *s : {begin, commit, count, page})
        sqlite3_finalize(s);
    sqlite3_close(db);
    std::printf("bare SQLite: %lld lists (%.1f rows each) in %.1f s\n", queries,
                queries > 0 ? static_cast<double>(rows) / static_cast<double>(queries) : 0.0, elapsed);
    return static_cast<double>(queries) / elapsed;
}

double barePostgres(const std::string &url, const std::vector<std::string> &purchasers, double seconds,
                    int pageSize)
{
    PGconn *connection = PQconnectdb(url.c_str());
    if (PQstatus(connection) != CONNECTION_OK) {
        const std::string why = PQerrorMessage(connection);
        PQfinish(connection);
        throw std::runtime_error("bare PostgreSQL: " + why);
    }
    std::string where = kListWhere;
    for (auto [from, to] : {std::pair{"?1", "$1::bigint"}, std::pair{"?2", "$2::bigint"}}) {
        for (std::size_t at; (at = where.find(from)) != std::string::npos;)
            where.replace(at, 2, to);
    }
    const auto prepare = [&](const char *name, const std::string &sql) {
        PGresult *result = PQprepare(connection, name, sql.c_str(), 0, nullptr);
        if (PQresultStatus(result) != PGRES_COMMAND_OK)
            throw std::runtime_error("bare PostgreSQL: " + std::string(PQerrorMessage(connection)));
        PQclear(result);
    };
    prepare("b", "BEGIN ISOLATION LEVEL REPEATABLE READ");
    prepare("c", "COMMIT");
    prepare("n", "SELECT COUNT(*)" + where);
    prepare("p", "SELECT o.id, o.state, o.order_no, p.company, o.pieces, o.total_fen, o.created_at" + where +
                     " ORDER BY o.created_at DESC, o.id DESC LIMIT $3 OFFSET $4");
    const auto run = [&](const char *name, int count, const char *const *values, ExecStatusType expected) {
        PGresult *result = PQexecPrepared(connection, name, count, values, nullptr, nullptr, 0);
        if (PQresultStatus(result) != expected)
            throw std::runtime_error("bare PostgreSQL: " + std::string(PQerrorMessage(connection)));
        return result;
    };
    long long queries = 0;
    long long rows = 0;
    std::vector<std::string> cells(7);
    const std::string limit = std::to_string(pageSize);
    const auto start = Clock::now();
    const auto end =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < end) {
        const std::string &me = purchasers[static_cast<std::size_t>(queries) % purchasers.size()];
        PQclear(run("b", 0, nullptr, PGRES_COMMAND_OK));
        const char *countValues[] = {me.c_str(), "0"};
        PGresult *counted = run("n", 2, countValues, PGRES_TUPLES_OK);
        const long long total = std::atoll(PQgetvalue(counted, 0, 0));
        PQclear(counted);
        const char *pageValues[] = {me.c_str(), "0", limit.c_str(), "0"};
        PGresult *listed = run("p", 4, pageValues, PGRES_TUPLES_OK);
        for (int r = 0; r < PQntuples(listed); ++r, ++rows)
            for (int c = 0; c < 7; ++c)
                cells[static_cast<std::size_t>(c)].assign(PQgetvalue(listed, r, c));
        PQclear(listed);
        PQclear(run("c", 0, nullptr, PGRES_COMMAND_OK));
        queries += total >= 0;
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    PQfinish(connection);
    std::printf("bare PostgreSQL: %lld lists (%.1f rows each) in %.1f s\n", queries,
                queries > 0 ? static_cast<double>(rows) / static_cast<double>(queries) : 0.0, elapsed);
    return static_cast<double>(queries) / elapsed;
}

void raiseDescriptorLimit(const Options &o)
{
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
    // Both ends of every connection when the server runs here, and some to spare.
    const rlim_t needed = static_cast<rlim_t>(o.idle + o.active) * (o.connect.empty() ? 2 : 1) + 200;
    if (limit.rlim_cur < needed)
        throw std::runtime_error("needs " + std::to_string(needed) + " file descriptors, the limit is " +
                                 std::to_string(limit.rlim_cur) + " (raise ulimit -n)");
}

tcp::endpoint endpointOf(const std::string &address)
{
    const std::size_t colon = address.rfind(':');
    if (colon == std::string::npos)
        usage("--connect takes HOST:PORT");
    std::string host = address.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    asio::error_code ec;
    const auto ip = asio::ip::make_address(host, ec);
    if (ec)
        usage("--connect takes a numeric address, not " + host);
    return {ip, static_cast<unsigned short>(whole("--connect port", address.substr(colon + 1), 1, 65535))};
}

} // namespace

int main(int argc, char **argv)
{
    const Options o = parseOptions(argc, argv);
    std::unique_ptr<server::db::Database> database;
    std::unique_ptr<server::Server> server;
    std::thread serverThread;
    std::string tempDir;
    try {
        raiseDescriptorLimit(o);
        tcp::endpoint endpoint;
        std::string where;
        if (!o.connect.empty()) {
            endpoint = endpointOf(o.connect);
            where = o.connect;
        } else {
            server::setLogLevel(server::LogLevel::Warn);
            server::Config config;
            config.listenAddress = "127.0.0.1";
            config.port = 0;
            config.database = o.db;
            if (config.database.empty()) {
                char pattern[] = "/tmp/vantrell-loadgen-XXXXXX";
                if (::mkdtemp(pattern) == nullptr)
                    throw std::runtime_error("cannot make a temporary folder");
                tempDir = pattern;
                config.database = "sqlite:" + tempDir + "/loadgen.db";
            }
            config.threads = o.serverThreads;
            config.heartbeatPeriod =
                std::chrono::milliseconds(static_cast<long long>(std::llround(o.heartbeat * 1000)));
            // Every connection comes from 127.0.0.1 and logs in one after the other.
            config.maxConnections = static_cast<std::size_t>(o.idle + o.active + 100);
            config.maxConnectionsPerAddress = config.maxConnections;
            config.loginTimeout = std::chrono::hours(1);
            config.minimumVersion = "9.0"; // every version check is answered
            config.downloadAddress = "http://example.test/download";
            database = server::db::Database::open(config.database);
            server::HandlerTable handlers;
            server::registerAllHandlers(handlers);
            server = std::make_unique<server::Server>(config, *database, std::move(handlers));
            server->listen();
            serverThread = std::thread([&] { server->run(); });
            endpoint = {asio::ip::make_address("127.0.0.1"), server->port()};
            where = "in-process server on port " + std::to_string(server->port()) + ", " + config.database;
        }
        std::printf("vantrell-loadgen against %s; cores online %u, loadgen cpus allowed %s\n", where.c_str(),
                    std::thread::hardware_concurrency(), cpusAllowed().c_str());
        std::fflush(stdout);

        asio::io_context io(1);
        Run run{io, o, endpoint};
        std::exception_ptr failure;
        asio::co_spawn(io, run.main(), [&](std::exception_ptr e) { failure = e; });
        io.run();
        if (failure)
            std::rethrow_exception(failure);

        if (!o.bareSqlite.empty() || !o.barePostgres.empty()) {
            if (!o.bareCpus.empty())
                pinTo(o.bareCpus);
            const auto &lists = g_stats.latencyMs[kOrderList];
            const double served = static_cast<double>(lists.size()) / o.seconds;
            const double bare = o.bareSqlite.empty()
                                    ? barePostgres(o.barePostgres, run.shop.purchaserIds, o.seconds, 20)
                                    : bareSqlite(o.bareSqlite, run.shop.purchaserIds, o.seconds, 20);
            std::printf("order lists: through the server %.1f /s, bare %.1f /s (cpus %s): ratio %.2f\n",
                        served, bare, cpusAllowed().c_str(), bare > 0 ? served / bare : 0.0);
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "vantrell-loadgen: %s\n", error.what());
        if (server) {
            server->stop();
            serverThread.join();
        }
        return 1;
    }
    if (server) {
        server->stop();
        serverThread.join();
        server.reset();
        database.reset();
    }
    if (!tempDir.empty())
        std::filesystem::remove_all(tempDir);
    return g_stats.errors == 0 && g_stats.dropped == 0 ? 0 : 1;
}
