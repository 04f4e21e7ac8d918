#include "server/storage.h"

#include <stdexcept>

namespace vantrell::server {

namespace {
class SqliteStorage final : public Storage
{};
} // namespace

std::unique_ptr<Storage> openStorage(const std::string &url)
{
    if (url.rfind("sqlite:", 0) != 0)
        throw std::runtime_error("unsupported database address: " + url);
    return std::make_unique<SqliteStorage>();
}

} // namespace vantrell::server
