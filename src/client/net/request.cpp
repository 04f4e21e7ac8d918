#include "client/net/request.h"

#include "client/net/serverlink.h"

namespace vantrell::client {

bool detail::sendText(protocol::Request id, const std::string &gbkFields)
{
    // The link converts the name to GBK, which gives gbkName(id).
    const std::string_view name = protocol::entry(id).name;
    return ServerLink::instance().sendRequest(QString::fromUtf8(name.data(), qsizetype(name.size())),
                                              QByteArray(gbkFields.data(), qsizetype(gbkFields.size())));
}

RequestFields &RequestFields::add(const QString &key, const QString &value)
{
    m_writer.add(toGbkString(key), toGbkString(value));
    return *this;
}

RequestFields &RequestFields::add(const QString &key, long long value)
{
    m_writer.add(toGbkString(key), value);
    return *this;
}

QByteArray RequestFields::bytes() const
{
    const std::string &text = m_writer.str();
    return QByteArray(text.data(), qsizetype(text.size()));
}

} // namespace vantrell::client
