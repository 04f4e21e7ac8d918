// Orders per second over the network with one vantrell-server process and with two on
// the same PostgreSQL database, as behind a TCP load balancer (clients spread over the
// processes in turn). Each client is a logged-in purchaser in a closed loop: one order of
// one line, wait for its answer, the next. The same clients, goods and seconds for both
// sides of one run; nothing is asserted.
//
//   bench_server_processes [--clients N] [--seconds S] [--threads T] [--rounds R]
//
// The cluster is a throw-away one (tests/support/server/pgcluster.h) with fsync off, a
// fresh database for each side.

#include "protocol/fieldtext.h"
#include "server/db/database.h"
#include "server/goods/store.h"
#include "server/partners/store.h"
#include "server/states.h"
#include "support/server/launcher.h"
#include "support/server/pgcluster.h"
#include "support/server/testclient.h"

#include <sched.h>
#include <soci/soci.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace vantrell;
using namespace vantrell::testing;
using Clock = std::chrono::steady_clock;

struct Options
{
    int clients = 8;
    double seconds = 10;
    int threads = 2;
    int rounds = 3;
};

Options parse(int argc, char **argv)
{
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const char *value = argv[i + 1];
        if (flag == "--clients")
            options.clients = std::max(1, std::atoi(value));
        else if (flag == "--seconds")
            options.seconds = std::max(0.5, std::atof(value));
        else if (flag == "--threads")
            options.threads = std::max(1, std::atoi(value));
        else if (flag == "--rounds")
            options.rounds = std::max(1, std::atoi(value));
        else
            throw std::runtime_error("unknown flag " + flag);
    }
    return options;
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

// A supplier with five goods and `clients` purchasers, each an active partner, made
// through the server like a merchant would (registration), then the partnership set in
// the database.
struct Shop
{
    long long supplier = 0;
    std::vector<long long> goods;
    std::vector<std::string> purchasers;
};

Shop prepare(const std::string &url, unsigned short port, int clients)
{
    Shop shop;
    TestClient seller;
    if (!seller.connect(port) || !seller.registerAccount("seller01", "secret1", "压测供应商有限公司", "2"))
        throw std::runtime_error("cannot register the supplier");
    for (int i = 0; i < clients; ++i) {
        const std::string name = "buyer" + std::to_string(100 + i);
        TestClient buyer;
        if (!buyer.connect(port) ||
            !buyer.registerAccount(name, "secret1", "压测采购商公司" + std::to_string(100 + i)))
            throw std::runtime_error("cannot register " + name);
        shop.purchasers.push_back(name);
    }
    auto database = server::db::Database::open(url);
    database->write([&](server::db::Tx &tx) {
        tx.sql() << "SELECT id FROM accounts WHERE user_name = 'seller01'", soci::into(shop.supplier);
        for (int i = 0; i < 5; ++i) {
            server::goods::Goods item;
            item.supplierId = shop.supplier;
            item.name = "压测商品" + std::to_string(i);
            item.unit = "袋子";
            item.priceFen = 1000 + i;
            item.weightG = 500;
            item.stock = 99'999'999;
            shop.goods.push_back(server::goods::insert(tx, item, "2026-03-10 10:00:00"));
        }
        for (const std::string &name : shop.purchasers) {
            long long id = 0;
            tx.sql() << "SELECT id FROM accounts WHERE user_name = :n", soci::use(name), soci::into(id);
            server::partners::setCooperationState(tx, shop.supplier, id, server::kCooperationActive,
                                                  "2026-03-10 10:00:00");
        }
    });
    return shop;
}

struct Result
{
    double ordersPerSecond = 0;
    long long errors = 0;
};

Result run(int processes, const Options &options)
{
    const std::string url = PgCluster::instance().freshDatabase();
    std::vector<std::unique_ptr<ServerProcess>> servers;
    for (int i = 0; i < processes; ++i) {
        servers.push_back(std::make_unique<ServerProcess>(
            std::vector<std::string>{"--db", url, "--threads", std::to_string(options.threads)}));
        if (!servers.back()->started())
            throw std::runtime_error("server did not start: " + servers.back()->log());
    }
    const Shop shop = prepare(url, servers.front()->port(), options.clients);

    std::vector<std::unique_ptr<TestClient>> clients;
    for (int i = 0; i < options.clients; ++i) {
        auto client = std::make_unique<TestClient>();
        if (!client->connect(servers[static_cast<std::size_t>(i % processes)]->port()) ||
            !client->login(shop.purchasers[static_cast<std::size_t>(i)], "secret1"))
            throw std::runtime_error("cannot log in");
        clients.push_back(std::move(client));
    }
    std::atomic<long long> placed{0};
    std::atomic<long long> errors{0};
    std::atomic<bool> started{false};
    const auto length =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.seconds));
    Clock::time_point end;
    std::vector<std::thread> threads;
    for (int i = 0; i < options.clients; ++i) {
        threads.emplace_back([&, i] {
            TestClient &client = *clients[static_cast<std::size_t>(i)];
            const std::string fields =
                protocol::FieldWriter().add("供应商ID", std::to_string(shop.supplier)).str() +
                "收货地址[]供应商留言[]数据详情_商品ID[" +
                std::to_string(shop.goods[static_cast<std::size_t>(i) % shop.goods.size()]) + "]数量[1]\r\n";
            while (!started.load())
                std::this_thread::yield();
            while (Clock::now() < end) {
                if (!client.send("基础通讯_下单", fields)) {
                    ++errors;
                    return;
                }
                const auto reply = client.receive(std::chrono::seconds(30));
                if (reply && reply->name == "基础通讯_下单成功")
                    ++placed;
                else
                    ++errors;
            }
        });
    }
    const Clock::time_point begin = Clock::now();
    end = begin + length;
    started = true;
    for (std::thread &thread : threads)
        thread.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
    return {static_cast<double>(placed.load()) / elapsed, errors.load()};
}

} // namespace

int main(int argc, char **argv)
{
    try {
        const Options options = parse(argc, argv);
        std::printf("cores online %u, cpus allowed %s; servers, PostgreSQL and clients unpinned\n",
                    std::thread::hardware_concurrency(), cpusAllowed().c_str());
        std::printf("%d clients, %.1f s per side, --threads %d per process\n", options.clients,
                    options.seconds, options.threads);
        std::vector<double> ratios;
        for (int round = 1; round <= options.rounds; ++round) {
            const Result one = run(1, options);
            const Result two = run(2, options);
            const double ratio = one.ordersPerSecond > 0 ? two.ordersPerSecond / one.ordersPerSecond : 0;
            ratios.push_back(ratio);
            std::printf("round %d: 1 process %.0f orders/s (%lld errors), 2 processes %.0f orders/s "
                        "(%lld errors), ratio %.2f\n",
                        round, one.ordersPerSecond, one.errors, two.ordersPerSecond, two.errors, ratio);
            std::fflush(stdout);
        }
        std::sort(ratios.begin(), ratios.end());
        std::printf("median ratio 2 processes / 1: %.2f\n", ratios[ratios.size() / 2]);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench_server_processes: %s\n", error.what());
        return 1;
    }
    return 0;
}
