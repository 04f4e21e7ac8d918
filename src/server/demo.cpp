#include "server/storage.h"

namespace vantrell::server {

void seedDemo(Storage &storage)
{
    (void)storage;
}

} // namespace vantrell::server
