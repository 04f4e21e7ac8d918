#include "server/db/database.h"
#include "server/demo.h"
#include "server/handlers.h"
#include "server/log.h"
#include "server/options.h"
#include "server/server.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

using namespace vantrell::server;

int main(int argc, char **argv)
{
    const CommandLine commandLine = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!commandLine.error.empty()) {
        std::fprintf(stderr, "vantrell-server: %s\n", commandLine.error.c_str());
        return 2;
    }
    if (commandLine.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    const Config &config = commandLine.config;
    try {
        HandlerTable handlers;
        registerAllHandlers(handlers);
        handlers.verifyAgainstCatalogue();
        std::unique_ptr<db::Database> database = db::Database::open(config.database);
        if (config.demo)
            seedDemo(*database);
        Server server(config, *database, std::move(handlers));
        server.listen();
        server.stopOnSignals();
        server.run();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "vantrell-server: %s\n", error.what());
        return 1;
    }
    return 0;
}
