// Two vantrell-server processes on one PostgreSQL database, as behind a load balancer:
// what one process does, the other sees, and neither knows anything the database does
// not say. Always against PostgreSQL; a PostgreSQL that cannot be started fails these.

#include "protocol/fieldtext.h"
#include "server/db/database.h"
#include "server/partners/store.h"
#include "server/states.h"
#include "support/server/launcher.h"
#include "support/server/pgcluster.h"
#include "support/server/testclient.h"

#include <gtest/gtest.h>
#include <soci/soci.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace vantrell::testing {
namespace {

namespace db = server::db;

// Both servers started at once on a fresh database, so they also race to migrate it.
struct TwoServers
{
    explicit TwoServers(const std::string &url, int threads = 2)
    {
        const std::vector<std::string> args = {"--db", url, "--threads", std::to_string(threads)};
        std::thread other([&] { second = std::make_unique<ServerProcess>(args); });
        first = std::make_unique<ServerProcess>(args);
        other.join();
    }
    ServerProcess &operator[](int i) { return i % 2 == 0 ? *first : *second; }

    std::unique_ptr<ServerProcess> first;
    std::unique_ptr<ServerProcess> second;
};

std::string loginFields(const std::string &user, const std::string &password)
{
    return protocol::FieldWriter().add("用户名", user).add("密码", passwordDigest(password)).str();
}

TEST(TwoProcesses, TwentyPurchasersOnBothForTheLastTenItems)
{
    const std::string url = PgCluster::instance().freshDatabase();
    TwoServers servers(url);
    ASSERT_TRUE(servers[0].started()) << servers[0].log();
    ASSERT_TRUE(servers[1].started()) << servers[1].log();
    auto database = db::Database::open(url);

    TestClient seller;
    ASSERT_TRUE(seller.connect(servers[0].port()));
    ASSERT_TRUE(seller.registerAccount("seller01", "secret1", "两台服务器供应商公司", "2"));
    ASSERT_TRUE(seller.login("seller01", "secret1"));
    const auto added = seller.exchange(
        "基础通讯_增加编辑商品", "商品ID[]商品名称[最后的大米]商品编码[]商品规格[]商品单价[10]商品重量[1]"
                                 "商品库存[10]商品单位[袋子]商品分类[]");
    ASSERT_TRUE(added && added->size() == 1 && added->front().name == "基础通讯_增加商品成功");
    const auto [supplierId, goodsId] = database->read([](db::Tx &tx) {
        long long s = 0, g = 0;
        tx.sql() << "SELECT supplier_id, id FROM goods", soci::into(s), soci::into(g);
        return std::pair{s, g};
    });

    // Registered and logged in on alternate servers; each orders on the server it is on.
    constexpr int kBuyers = 20;
    std::vector<std::unique_ptr<TestClient>> buyers;
    for (int i = 0; i < kBuyers; ++i) {
        auto client = std::make_unique<TestClient>();
        ASSERT_TRUE(client->connect(servers[i].port()));
        const std::string name = "racer" + std::to_string(10 + i);
        ASSERT_TRUE(client->registerAccount(name, "secret1", "两台服务器采购商" + std::to_string(10 + i)));
        ASSERT_TRUE(client->login(name, "secret1")) << name;
        const long long buyerId = database->read([&](db::Tx &tx) {
            long long id = 0;
            tx.sql() << "SELECT id FROM accounts WHERE user_name = :n", soci::use(name), soci::into(id);
            return id;
        });
        database->write([&](db::Tx &tx) {
            server::partners::setCooperationState(tx, supplierId, buyerId, server::kCooperationActive,
                                                  "2026-03-01 09:00:00");
        });
        buyers.push_back(std::move(client));
    }

    std::atomic<int> placed{0};
    std::atomic<int> refused{0};
    std::atomic<int> go{0};
    const std::string fields = "供应商ID[" + std::to_string(supplierId) +
                               "]收货地址[]供应商留言[]数据详情_商品ID[" + std::to_string(goodsId) +
                               "]数量[1]\r\n";
    std::vector<std::thread> threads;
    for (auto &client : buyers) {
        threads.emplace_back([&, c = client.get()] {
            ++go;
            while (go.load() < kBuyers)
                std::this_thread::yield();
            const auto replies = c->exchange("基础通讯_下单", fields);
            if (replies && replies->size() == 1 && replies->front().name == "基础通讯_下单成功")
                ++placed;
            else if (replies && replies->size() == 1 && replies->front().name == "提示信息_错误" &&
                     replies->front().fields.find("库存不足") != std::string::npos)
                ++refused;
            else if (replies && !replies->empty())
                ADD_FAILURE() << replies->front().name << " " << replies->front().fields;
            else
                ADD_FAILURE() << "no answer";
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(placed.load(), 10);
    EXPECT_EQ(refused.load(), kBuyers - 10);
    database->read([&](db::Tx &tx) {
        long long stock = -1, orders = 0, lines = 0, numbers = 0, pieces = 0;
        tx.sql() << "SELECT stock FROM goods", soci::into(stock);
        tx.sql() << "SELECT COUNT(*), COUNT(DISTINCT order_no), COALESCE(SUM(pieces), 0) FROM orders",
            soci::into(orders), soci::into(numbers), soci::into(pieces);
        tx.sql() << "SELECT COUNT(*) FROM order_lines", soci::into(lines);
        EXPECT_EQ(stock, 0);
        EXPECT_EQ(orders, 10);
        EXPECT_EQ(numbers, 10) << "no order number given twice";
        EXPECT_EQ(pieces, 10);
        EXPECT_EQ(lines, 10);
    });
}

TEST(TwoProcesses, AUserLockedOutOnOneIsLockedOutOnTheOther)
{
    const std::string url = PgCluster::instance().freshDatabase();
    TwoServers servers(url);
    ASSERT_TRUE(servers[0].started() && servers[1].started()) << servers[0].log() << servers[1].log();
    TestClient on0, on1;
    ASSERT_TRUE(on0.connect(servers[0].port()) && on1.connect(servers[1].port()));
    ASSERT_TRUE(on0.registerAccount("lockme01", "right-one", "锁定测试商贸公司"));

    const auto notice = [](const std::optional<std::vector<Reply>> &replies) {
        return replies && replies->size() == 1 && replies->front().name == "提示信息_错误"
                   ? replies->front().value("内容")
                   : std::string("(not one notice)");
    };
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(notice(on0.exchange("登陆系统_用户登陆", loginFields("lockme01", "wrong-one"))),
                  "用户名或密码错误!")
            << i;
    // The right password, on the server that saw none of the failures.
    EXPECT_EQ(notice(on1.exchange("登陆系统_用户登陆", loginFields("lockme01", "right-one"))),
              "登陆失败次数过多,请稍后再试!");
    EXPECT_EQ(notice(on0.exchange("登陆系统_用户登陆", loginFields("lockme01", "right-one"))),
              "登陆失败次数过多,请稍后再试!");
}

// Guesses sent at once through both servers: exactly five are checked, the rest are
// locked out, wherever they arrive.
TEST(TwoProcesses, GuessesAtOnceOnBothAreLockedAfterFive)
{
    const std::string url = PgCluster::instance().freshDatabase();
    // Many account threads on each, so that many checks are under way together.
    TwoServers servers(url, 8);
    ASSERT_TRUE(servers[0].started() && servers[1].started()) << servers[0].log() << servers[1].log();
    TestClient owner;
    ASSERT_TRUE(owner.connect(servers[0].port()));
    ASSERT_TRUE(owner.registerAccount("guessed1", "right-one", "猜测测试商贸公司"));

    constexpr int kGuesses = 40;
    std::vector<std::unique_ptr<TestClient>> guessers;
    for (int i = 0; i < kGuesses; ++i) {
        guessers.push_back(std::make_unique<TestClient>());
        ASSERT_TRUE(guessers.back()->connect(servers[i].port()));
    }
    std::atomic<int> checked{0};
    std::atomic<int> locked{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kGuesses; ++i) {
        threads.emplace_back([&, c = guessers[i].get(), i] {
            const auto replies =
                c->exchange("登陆系统_用户登陆", loginFields("guessed1", "guess-" + std::to_string(i)));
            const std::string text = replies && replies->size() == 1 ? replies->front().value("内容") : "";
            if (text == "用户名或密码错误!")
                ++checked;
            else if (text == "登陆失败次数过多,请稍后再试!")
                ++locked;
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(checked.load(), 5);
    EXPECT_EQ(locked.load(), kGuesses - 5);
}

} // namespace
} // namespace vantrell::testing
