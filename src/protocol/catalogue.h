#pragma once

// The whole conversation between client and server, one line per message. Client and
// server build and read field text through these entries, so a key or a name written
// once here is the same on both sides; tests/contract keeps the two sides in step with it.
//
// Requests: X(id, name, keys in field order, record marker and record keys, replies the
//           server may answer with besides notices, served)
// Replies:  X(id, name, shape, keys the client reads)
//
// Names and keys are UTF-8 here; the client converts them to GBK once (gbkKeys()).
// Lists of keys and reply names are separated by single spaces. A request whose served
// column says NotYet has no server handler yet; the contract test lists those.

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell::protocol {

enum class Served
{
    Yes,
    NotYet
};

// How the client reads a reply's field text.
enum class Shape
{
    Keys,    // single values by key (the short field text is enough)
    List,    // a paged list reply (合计页数, 当前页数, columns, rows) plus the listed keys
    Records, // "列表详情_" or "数据详情_" records plus the listed keys
    Raw      // the whole text is the value (a category list)
};

// clang-format off
#define VANTRELL_REQUESTS(X) \
    X(VersionCheck, "版本验证_验证", "版本号", "", "发现版本", Yes) \
    X(HeartbeatAnswer, "心跳包", "", "", "", Yes) \
    X(Login, "登陆系统_用户登陆", "用户名 密码", "", "登陆系统_登陆成功", Yes) \
    X(Register, "登陆系统_注册账号", "用户名 密码 手机号 公司 类型", "", "登陆系统_账号注册成功", Yes) \
    X(ChangePassword, "登陆系统_修改密码", "原密码 新密码", "", "登陆系统_密码修改成功", Yes) \
    X(Dashboard, "基础通讯_订单管理/获取实时数据", "", "", "基础通讯_订单管理/返回实时数据", Yes) \
    X(PersonalData, "基础通讯_获取个人中心基本资料", "", "", "基础通讯_返回个人中心基本资料", Yes) \
    X(SavePersonalData, "基础通讯_保存个人中心基本资料", "联系人 电话 邮箱 地址", "", "基础通讯_保存个人中心基本资料成功", Yes) \
    X(AboutUs, "基础通讯_个人中心/关于我们", "", "", "基础通讯_个人中心/返回关于我们", Yes) \
    X(Help, "基础通讯_个人中心/使用帮助", "", "", "基础通讯_个人中心/返回使用帮助", Yes) \
    X(SupplierGoodsList, "基础通讯_供应商查询商品列表", "关键词 查询页数 商品状态", "", "基础通讯_返回供应商查询商品列表", Yes) \
    X(PurchaserGoodsList, "基础通讯_采购商查询商品列表", "供应商ID 关键词 查询页数 商品状态", "", "基础通讯_返回采购商查询商品列表", Yes) \
    X(SupplierDropDown, "基础通讯_获取合作商列表/下拉菜单", "关键词", "", "基础通讯_返回合作商列表/下拉菜单", Yes) \
    X(ShelveGoods, "基础通讯_商品上架下架", "商品ID 类型", "", "基础通讯_商品上架下架成功", Yes) \
    X(GoodsInfo, "基础通讯_获取商品基本信息", "商品ID", "", "基础通讯_返回商品基本信息", Yes) \
    X(GoodsCategories, "基础通讯_获取商品基本信息/分类列表", "", "", "基础通讯_返回商品基本信息/分类列表", Yes) \
    X(SaveGoods, "基础通讯_增加编辑商品", "商品ID 商品名称 商品编码 商品规格 商品单价 商品重量 商品库存 商品单位 商品分类", "", "基础通讯_增加商品成功 基础通讯_编辑商品成功", Yes) \
    X(DistributorList, "基础通讯_获取分销商列表/授权商品", "关键词", "", "基础通讯_返回分销商列表/授权商品", Yes) \
    X(GrantGoodsList, "基础通讯_获取商品列表/授权商品", "采购商ID 关键词 查询页数", "", "基础通讯_返回商品列表/授权商品", Yes) \
    X(SetGrantMode, "基础通讯_变更商品授权方式", "采购商ID 授权方式", "", "基础通讯_变更商品授权方式成功", Yes) \
    X(SetGrant, "基础通讯_变更商品授权状态", "商品ID 授权状态", "", "", Yes) \
    X(ApplicationList, "基础通讯_获取合作商列表", "关键词", "", "基础通讯_返回合作商列表", Yes) \
    X(PartnerList, "基础通讯_获取申请合作列表", "关键词 查询页数 合作类型", "", "基础通讯_返回申请合作列表", Yes) \
    X(EnablePartner, "基础通讯_启用停用商家", "ID 类型", "", "基础通讯_启用商家成功 基础通讯_停用商家成功", Yes) \
    X(Apply, "基础通讯_申请合作", "供应商ID", "", "", Yes) \
    X(FreightTemplate, "基础通讯_读取运费模板", "", "", "基础通讯_返回运费模板", Yes) \
    X(FreightMode, "基础通讯_读取运费/运费方式", "", "", "基础通讯_返回读取运费/运费方式", Yes) \
    X(SetFreightMode, "基础通讯_设置运费/运费方式", "运费方式 计价方式", "", "", Yes) \
    X(SetFreightRow, "基础通讯_设置运费/运费模版", "地区索引 条件1 首费 条件2 续费", "", "", Yes) \
    X(OrderSuppliers, "基础通讯_获取供应商列表/下单", "关键词", "", "基础通讯_返回供应商列表/下单", Yes) \
    X(OrderCategories, "基础通讯_获取商品分类/商品下单", "供应商ID", "", "基础通讯_返回商品分类/商品下单", Yes) \
    X(OrderGoodsList, "基础通讯_采购商查询商品列表/下单", "供应商ID 商品分类ID 关键词", "", "基础通讯_返回采购商查询商品列表/下单", Yes) \
    X(OrderFreight, "基础通讯_获取运费/下单", "供应商ID 重量 件数 地区索引", "", "基础通讯_返回运费/下单", Yes) \
    X(PlaceOrder, "基础通讯_下单", "供应商ID 收货地址 供应商留言", "数据详情_ 商品ID 数量", "基础通讯_下单成功", Yes) \
    X(OrderList, "基础通讯_查询订单", "订单类型 合作商ID 关键词 查询页数", "", "基础通讯_返回订单列表", Yes) \
    X(OrderPage, "基础通讯_获取发货订单页面", "订单ID", "", "基础通讯_返回发货订单页面", Yes) \
    X(Carriers, "基础通讯_订单发货/获取物流名称列表", "订单ID", "", "基础通讯_返回订单发货/获取物流名称列表", Yes) \
    X(ShipOrder, "基础通讯_订单发货", "订单ID 运费 发货类型 物流名称 物流单号", "", "基础通讯_返回发货订单页面 提示信息_信息", Yes) \
    X(CancelOrder, "基础通讯_取消订单", "订单ID", "", "基础通讯_取消订单/订单关闭 基础通讯_取消订单/订单取消中", Yes) \
    X(ResolveCancel, "基础通讯_供应商处理异常订单", "订单ID 处理方式", "", "基础通讯_返回发货订单页面", Yes) \
    X(FinancePartners, "基础通讯_获取财务对账合作商列表", "关键词 查询页数", "", "基础通讯_返回财务对账合作商列表", Yes) \
    X(StatementList, "基础通讯_财务结算窗口/查询对账单列表", "合作商ID 查询内容 查询类型 查询页数", "", "基础通讯_财务结算窗口/返回查询对账单列表", Yes) \
    X(StatementDetails, "基础通讯_财务结算窗口/查询结算明细", "合作商ID 查询类型 查询内容 起始日期 终止日期 查询页数", "", "基础通讯_财务结算窗口/返回结算明细", Yes) \
    X(SettleStatement, "基础通讯_财务结算窗口/对账结算", "对账单ID 操作类型", "", "基础通讯_财务结算窗口/对账结算成功", Yes) \
    X(StatementDefaults, "基础通讯_财务结算窗口/对账单窗口默认日期段", "采购商ID", "", "基础通讯_财务结算窗口/返回对账单窗口默认日期段", Yes) \
    X(StatementAmount, "基础通讯_财务结算窗口/对账单窗口获取金额", "采购商ID 起始日期 终止日期", "", "基础通讯_财务结算窗口/返回对账单窗口获取金额", Yes) \
    X(CreateStatement, "基础通讯_财务结算窗口/生成对账单", "采购商ID 起始日期 终止日期", "", "基础通讯_生成对账单成功", Yes)

#define VANTRELL_REPLIES(X) \
    X(UpdateFound, "发现版本", Keys, "下载地址") \
    X(HeartbeatProbe, "心跳包", Keys, "") \
    X(NoticeInfo, "提示信息_信息", Keys, "内容") \
    X(NoticeQuestion, "提示信息_询问", Keys, "内容") \
    X(NoticeError, "提示信息_错误", Keys, "内容") \
    X(LoginSucceeded, "登陆系统_登陆成功", Keys, "姓名 公司 类型 上次登陆时间") \
    X(Registered, "登陆系统_账号注册成功", Keys, "") \
    X(PasswordChanged, "登陆系统_密码修改成功", Keys, "") \
    X(PersonalDataReply, "基础通讯_返回个人中心基本资料", Keys, "公司 联系人 电话 邮箱 地址") \
    X(PersonalDataSaved, "基础通讯_保存个人中心基本资料成功", Keys, "姓名") \
    X(ApplicationListReply, "基础通讯_返回合作商列表", List, "") \
    X(PartnerListReply, "基础通讯_返回申请合作列表", List, "") \
    X(PartnerEnabled, "基础通讯_启用商家成功", Keys, "") \
    X(PartnerDisabled, "基础通讯_停用商家成功", Keys, "") \
    X(SupplierGoodsListReply, "基础通讯_返回供应商查询商品列表", List, "") \
    X(GoodsAdded, "基础通讯_增加商品成功", Keys, "") \
    X(GoodsEdited, "基础通讯_编辑商品成功", Keys, "") \
    X(GoodsShelved, "基础通讯_商品上架下架成功", Keys, "") \
    X(GoodsInfoReply, "基础通讯_返回商品基本信息", Keys, "商品分类名称 商品分类列表 商品名称 商品编码 商品规格 商品单价 商品重量 商品库存 库存单位") \
    X(GoodsCategoriesReply, "基础通讯_返回商品基本信息/分类列表", Raw, "") \
    X(SupplierDropDownReply, "基础通讯_返回合作商列表/下拉菜单", List, "") \
    X(PurchaserGoodsListReply, "基础通讯_返回采购商查询商品列表", List, "") \
    X(DistributorListReply, "基础通讯_返回分销商列表/授权商品", List, "") \
    X(GrantGoodsListReply, "基础通讯_返回商品列表/授权商品", List, "商品授权 采购商ID") \
    X(GrantModeChanged, "基础通讯_变更商品授权方式成功", Keys, "采购商ID") \
    X(FreightModeReply, "基础通讯_返回读取运费/运费方式", Keys, "运费方式 计价方式") \
    X(FreightTemplateReply, "基础通讯_返回运费模板", Records, "列表详情_ 地区索引 条件1 首费 条件2 续费") \
    X(OrderSuppliersReply, "基础通讯_返回供应商列表/下单", List, "") \
    X(OrderCategoriesReply, "基础通讯_返回商品分类/商品下单", Keys, "分类列表") \
    X(OrderGoodsListReply, "基础通讯_返回采购商查询商品列表/下单", List, "") \
    X(OrderFreightReply, "基础通讯_返回运费/下单", Keys, "运费") \
    X(OrderPlaced, "基础通讯_下单成功", Keys, "") \
    X(OrderListReply, "基础通讯_返回订单列表", List, "") \
    X(OrderPageReply, "基础通讯_返回发货订单页面", Records, "数据详情_ 订单号 商家名称 下单日期 收货地址 供应商留言 商品件数 总重量 商品金额 运费 总金额 订单状态 发货类型") \
    X(CarriersReply, "基础通讯_返回订单发货/获取物流名称列表", Records, "列表详情_ 物流名称 默认物流名称 默认物流单号") \
    X(OrderClosed, "基础通讯_取消订单/订单关闭", Keys, "订单ID") \
    X(OrderCancelling, "基础通讯_取消订单/订单取消中", Keys, "订单ID") \
    X(FinancePartnersReply, "基础通讯_返回财务对账合作商列表", List, "") \
    X(StatementDefaultsReply, "基础通讯_财务结算窗口/返回对账单窗口默认日期段", Keys, "总金额 起始日期 终止日期") \
    X(StatementAmountReply, "基础通讯_财务结算窗口/返回对账单窗口获取金额", Keys, "总金额") \
    X(StatementCreated, "基础通讯_生成对账单成功", Keys, "") \
    X(StatementListReply, "基础通讯_财务结算窗口/返回查询对账单列表", List, "公司 姓名 电话 当前位置 全部记录 对账单金额 未结算金额") \
    X(StatementDetailsReply, "基础通讯_财务结算窗口/返回结算明细", List, "状态位置") \
    X(StatementSettled, "基础通讯_财务结算窗口/对账结算成功", Keys, "") \
    X(DashboardReply, "基础通讯_订单管理/返回实时数据", Keys, "未发货 已发货 今日销售额 昨日销售额 今日件数 昨日件数 待结算金额 已结算金额") \
    X(AboutUsReply, "基础通讯_个人中心/返回关于我们", Keys, "网址") \
    X(HelpReply, "基础通讯_个人中心/返回使用帮助", Keys, "网址")
// clang-format on

enum class Request
{
#define VANTRELL_X(id, name, keys, records, answers, served) id,
    VANTRELL_REQUESTS(VANTRELL_X)
#undef VANTRELL_X
};

enum class Reply
{
#define VANTRELL_X(id, name, shape, keys) id,
    VANTRELL_REPLIES(VANTRELL_X)
#undef VANTRELL_X
};

struct RequestEntry
{
    Request id;
    std::string_view ident; // the C++ name, for messages
    std::string_view name;
    std::string_view keys;
    std::string_view records; // marker word then the record keys; empty when none
    std::string_view answers;
    Served served;
};

struct ReplyEntry
{
    Reply id;
    std::string_view ident;
    std::string_view name;
    Shape shape;
    std::string_view keys; // for Records: the marker word first
};

inline constexpr std::array kRequests = {
#define VANTRELL_X(id, name, keys, records, answers, served)                                                 \
    RequestEntry{Request::id, #id, name, keys, records, answers, Served::served},
    VANTRELL_REQUESTS(VANTRELL_X)
#undef VANTRELL_X
};

inline constexpr std::array kReplies = {
#define VANTRELL_X(id, name, shape, keys) ReplyEntry{Reply::id, #id, name, Shape::shape, keys},
    VANTRELL_REPLIES(VANTRELL_X)
#undef VANTRELL_X
};

constexpr const RequestEntry &entry(Request id)
{
    return kRequests[static_cast<std::size_t>(id)];
}
constexpr const ReplyEntry &entry(Reply id)
{
    return kReplies[static_cast<std::size_t>(id)];
}

// Number of space-separated words in `list`.
constexpr std::size_t wordCount(std::string_view list)
{
    if (list.empty())
        return 0;
    std::size_t count = 1;
    for (char c : list)
        count += c == ' ' ? 1 : 0;
    return count;
}

constexpr std::size_t keyCount(Request id)
{
    return wordCount(entry(id).keys);
}
// Keys of one record (the marker word not counted); 0 for a request without records.
constexpr std::size_t recordKeyCount(Request id)
{
    const std::size_t words = wordCount(entry(id).records);
    return words == 0 ? 0 : words - 1;
}

// The words of a space-separated list.
std::vector<std::string_view> words(std::string_view list);

// Lookups by UTF-8 name; nullptr when the catalogue has no such message.
const RequestEntry *findRequest(std::string_view name);
const ReplyEntry *findReply(std::string_view name);

// True when `key` is one of the request's keys or record keys.
bool requestHasKey(Request id, std::string_view key);
// True when `key` is one of the keys a client reads from the reply (for Records: the
// marker's record keys as well; for List: the list's own keys 合计页数 and 当前页数 too).
bool replyHasKey(Reply id, std::string_view key);

// The GBK spellings, converted once: the request's name and keys in field order.
const std::string &gbkName(Request id);
const std::vector<std::string> &gbkKeys(Request id);
const std::string &gbkName(Reply id);

// The client's writer: the GBK field text of `id` with `gbkValues` in key order.
// Throws std::logic_error when the number of values is not the number of keys.
std::string requestFields(Request id, std::initializer_list<std::string_view> gbkValues);

// As requestFields, checked at compile time: requestText<Request::Login>(name, digest).
template <Request id, typename... Values> std::string requestText(const Values &...gbkValues)
{
    static_assert(sizeof...(Values) == keyCount(id), "value count differs from the catalogue's keys");
    return requestFields(id, {std::string_view(gbkValues)...});
}

// One GBK record of a request's record list (下单's order lines): marker + keys in order.
std::string requestRecord(Request id, std::initializer_list<std::string_view> gbkValues);

} // namespace vantrell::protocol
