#pragma once

// Stored codes shared by the domains.

#include <string_view>

namespace vantrell::server {

// accounts.type
inline constexpr int kAccountPurchaser = 1;
inline constexpr int kAccountSupplier = 2;

// cooperations.state
inline constexpr int kCooperationApplied = 1; // 审核中
inline constexpr int kCooperationActive = 2;  // 正常
inline constexpr int kCooperationStopped = 3; // 停用

// orders.state
inline constexpr int kOrderPending = 0;    // 待发货
inline constexpr int kOrderShipped = 1;    // 已发货
inline constexpr int kOrderCancelling = 2; // 取消中
inline constexpr int kOrderClosed = 3;     // 已关闭

// statements.state
inline constexpr int kStatementOpen = 0;       // 待对账
inline constexpr int kStatementReconciled = 1; // 已对账
inline constexpr int kStatementSettled = 2;    // 已结算

// The texts the lists show for the stored codes; empty for an unknown code.
std::string_view cooperationStateText(int state);
std::string_view orderStateText(int state);

// The columns of one side in cooperations, orders and statements: whose rows they are,
// and who the partner is.
struct Side
{
    const char *own;
    const char *other;
};

inline Side sideOf(bool supplierSide)
{
    return supplierSide ? Side{"supplier_id", "purchaser_id"} : Side{"purchaser_id", "supplier_id"};
}

} // namespace vantrell::server
