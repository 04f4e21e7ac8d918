#include "client/ui/orders/orderhooks.h"

namespace vantrell::client {

namespace {

struct Hooks
{
    QString viewedOrderId;
    WindowOpener viewer;
    WindowOpener placing;
};

Hooks &hooks()
{
    static Hooks instance;
    return instance;
}

} // namespace

QString viewedOrderId()
{
    return hooks().viewedOrderId;
}

void openOrderViewer(QWidget *owner, const QString &orderId)
{
    hooks().viewedOrderId = orderId;
    if (hooks().viewer)
        hooks().viewer(owner);
}

void setOrderViewerOpener(WindowOpener opener)
{
    hooks().viewer = std::move(opener);
}

void openOrderPlacing(QWidget *owner)
{
    if (hooks().placing)
        hooks().placing(owner);
}

void setOrderPlacingOpener(WindowOpener opener)
{
    hooks().placing = std::move(opener);
}

} // namespace vantrell::client
