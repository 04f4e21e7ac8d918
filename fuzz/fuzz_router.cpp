// Routing of arbitrary payloads on one session (logged out or a demo merchant), demo data.
#include "server/accounts/store.h"
#include "server/demo.h"
#include "server/handlers.h"
#include "server/router.h"
#include "server/states.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

using namespace vantrell::server;

namespace {

struct World
{
    std::unique_ptr<db::Database> database = db::Database::open("sqlite::memory:");
    HandlerTable handlers;
    Config config;
};

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static World world = [] {
        World made;
        registerAllHandlers(made.handlers); // the connection's own requests included
        seedDemo(*made.database);
        return made;
    }();
    FuzzedDataProvider provider(data, size);
    SessionState state;
    if (provider.ConsumeBool()) {
        const std::string name = provider.ConsumeBool() ? "supplier" : "buyer";
        const auto account = world.database->read([&](db::Tx &tx) { return accounts::byName(tx, name); });
        require(account.has_value());
        state.accountId = account->id;
        state.role = account->type == kAccountSupplier ? Role::Supplier : Role::Purchaser;
        state.userName = account->userName;
    }
    while (provider.remaining_bytes() > 0) {
        const std::string payload = provider.ConsumeRandomLengthString(4096);
        const Routed routed = routeRequest(payload, state, *world.database, world.config, world.handlers);
        require(!routed.failed); // a handler threw: a server fault, whatever the client sent
    }
    return 0;
}
