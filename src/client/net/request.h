#pragma once

// Sending a request: the catalogue gives the name and the keys in field order, the
// screen gives the values (QString or integers, converted to GBK here).
//
//   send<protocol::Request::CancelOrder>(orderId);
//
// The number of values is checked against the catalogue when the call is compiled.

#include "client/core/text.h"
#include "protocol/catalogue.h"
#include "protocol/fieldtext.h"

#include <QByteArray>
#include <QString>

#include <concepts>
#include <string>

namespace vantrell::client {

namespace detail {

inline std::string gbkValue(const QString &value)
{
    return toGbkString(value);
}

template <std::integral T> std::string gbkValue(T value)
{
    return std::to_string(value);
}

// Queues name + "|" + field text; false when the client is stopped.
bool sendText(protocol::Request id, const std::string &gbkFields);

} // namespace detail

template <protocol::Request id, typename... Values> bool send(const Values &...values)
{
    return detail::sendText(id, protocol::requestText<id>(detail::gbkValue(values)...));
}

// One record of a request's record list (the order lines of 下单), in GBK.
template <protocol::Request id, typename... Values> std::string record(const Values &...values)
{
    static_assert(sizeof...(Values) == protocol::recordKeyCount(id),
                  "value count differs from the catalogue's record keys");
    return [](const auto &...gbk) {
        return protocol::requestRecord(id, {std::string_view(gbk)...});
    }(detail::gbkValue(values)...);
}

// A request whose field text ends with its records (built by record<id>()).
template <protocol::Request id, typename... Values>
bool sendWithRecords(const std::string &gbkRecords, const Values &...values)
{
    return detail::sendText(id, protocol::requestText<id>(detail::gbkValue(values)...) + gbkRecords);
}

// The older writer by key name, still used by the connect path (version check, login,
// registration) until that moves to send<>().
class RequestFields
{
public:
    RequestFields &add(const QString &key, const QString &value);
    RequestFields &add(const QString &key, long long value);
    QByteArray bytes() const;

private:
    protocol::FieldWriter m_writer;
};

} // namespace vantrell::client
