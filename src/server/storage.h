#pragma once

// One storage interface for every domain. SQLite through SOCI is the embedded default;
// PostgreSQL follows behind the same interface. Every write is one transaction.
// Implementations are safe to call from several threads at once.
//
// The interface grows domain by domain; the methods are declared by the domain owner.

#include <memory>
#include <string>

namespace vantrell::server {

class Storage
{
public:
    virtual ~Storage() = default;
    // (domain methods, see storage_*.h)
};

// "sqlite:PATH", "sqlite::memory:" (a private in-memory database; all sessions see it).
// Applies the schema migrations. Throws std::runtime_error with a clear message on failure.
std::unique_ptr<Storage> openStorage(const std::string &url);

// Seeds the demo merchants and their data (idempotent).
void seedDemo(Storage &storage);

} // namespace vantrell::server
