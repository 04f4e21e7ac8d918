// Requests as the catalogue spells them: GBK on the wire, integers as decimal text,
// the order lines of 下单 behind the field text.

#include "client/core/text.h"
#include "client/net/request.h"
#include "support/client/clienttestenv.h"

#include <gtest/gtest.h>

using namespace vantrell;
using protocol::Request;

TEST(Request, ValuesGoInTheCatalogueKeyOrderAsGbk)
{
    test::RequestRecorder requests;
    EXPECT_TRUE(client::send<Request::OrderList>(2, -1, QStringLiteral("螺丝 M8"), QStringLiteral("3")));
    EXPECT_TRUE(client::send<Request::Dashboard>());
    ASSERT_EQ(requests.payloads().size(), 2);
    EXPECT_EQ(
        requests.payloads()[0],
        client::toGbk(QStringLiteral("基础通讯_查询订单|订单类型[2]合作商ID[-1]关键词[螺丝 M8]查询页数[3]")));
    EXPECT_EQ(requests.payloads()[1], client::toGbk(QStringLiteral("基础通讯_订单管理/获取实时数据|")));
}

TEST(Request, OrderLinesFollowTheFieldText)
{
    test::RequestRecorder requests;
    const std::string lines = client::record<Request::PlaceOrder>(17, 2) +
                              client::record<Request::PlaceOrder>(QStringLiteral("18"), 5);
    EXPECT_TRUE(client::sendWithRecords<Request::PlaceOrder>(lines, 4, QStringLiteral("上海市浦东新区"),
                                                             QStringLiteral("周五前到")));
    ASSERT_EQ(requests.payloads().size(), 1);
    EXPECT_EQ(
        requests.payloads()[0],
        client::toGbk(QStringLiteral("基础通讯_下单|供应商ID[4]收货地址[上海市浦东新区]供应商留言[周五前到]"
                                     "数据详情_商品ID[17]数量[2]数据详情_商品ID[18]数量[5]")));
}
