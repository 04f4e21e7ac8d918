#include "client/ui/partners/partnerhooks.h"

namespace vantrell::client {

namespace {

std::function<void(QWidget *)> &grantOpener()
{
    static std::function<void(QWidget *)> opener;
    return opener;
}

} // namespace

void openGrantWindow(QWidget *owner)
{
    if (grantOpener())
        grantOpener()(owner);
}

void setGrantWindowOpener(std::function<void(QWidget *owner)> opener)
{
    grantOpener() = std::move(opener);
}

} // namespace vantrell::client
