#include "server/states.h"

namespace vantrell::server {

std::string_view cooperationStateText(int state)
{
    switch (state) {
    case kCooperationApplied:
        return "审核中";
    case kCooperationActive:
        return "正常";
    case kCooperationStopped:
        return "停用";
    default:
        return {};
    }
}

std::string_view orderStateText(int state)
{
    switch (state) {
    case kOrderPending:
        return "待发货";
    case kOrderShipped:
        return "已发货";
    case kOrderCancelling:
        return "取消中";
    case kOrderClosed:
        return "已关闭";
    default:
        return {};
    }
}

} // namespace vantrell::server
