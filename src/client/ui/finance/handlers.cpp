#include "client/ui/finance/handlers.h"

#include "client/core/messagebox.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/finance/financepage.h"
#include "client/ui/finance/financewindow.h"
#include "client/ui/finance/statementcreation.h"

namespace vantrell::client {

namespace {

FinanceWindow *financeWindow()
{
    return WindowRegistry::as<FinanceWindow>(WindowId::FinanceReconciliation);
}

StatementCreation *creationWindow()
{
    return WindowRegistry::as<StatementCreation>(WindowId::StatementCreation);
}

} // namespace

void registerFinanceReplies(ReplyDispatcher &dispatcher)
{
    dispatcher.on(protocol::Reply::FinancePartnersReply, [](const Reply &reply) {
        if (auto *window = WindowRegistry::as<MainWindow>(WindowId::Main))
            window->financePage()->fill(reply.fullText);
    });
    dispatcher.on(protocol::Reply::StatementListReply, [](const Reply &reply) {
        if (auto *window = financeWindow())
            window->fillStatements(reply);
    });
    dispatcher.on(protocol::Reply::StatementDetailsReply, [](const Reply &reply) {
        if (auto *window = financeWindow())
            window->fillDetails(reply);
    });
    dispatcher.on(protocol::Reply::StatementSettled, [](const Reply &) {
        if (auto *window = financeWindow())
            window->refreshStatementsInPlace();
    });
    dispatcher.on(protocol::Reply::StatementDefaultsReply, [](const Reply &reply) {
        if (auto *window = creationWindow())
            window->fillDefaults(reply);
    });
    dispatcher.on(protocol::Reply::StatementAmountReply, [](const Reply &reply) {
        if (auto *window = creationWindow())
            window->fillAmount(reply);
    });
    dispatcher.on(protocol::Reply::StatementCreated, [](const Reply &) {
        WindowRegistry::close(WindowId::StatementCreation);
        if (auto *window = financeWindow())
            window->refreshStatementsInPlace();
        ServerLink::instance().deferMessageBox(QStringLiteral("已生成对账单!"), StyleInformation,
                                               QStringLiteral("财务结算"));
    });
}

} // namespace vantrell::client
