#include "client/net/request.h"

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/text.h"

namespace vantrell::client {

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

RequestFields &RequestFields::record(const QString &marker)
{
    m_writer.record(toGbkString(marker));
    return *this;
}

QByteArray RequestFields::bytes() const
{
    const std::string &text = m_writer.str();
    return QByteArray(text.data(), qsizetype(text.size()));
}

QString keywordValue(const QString &boxText)
{
    if (boxText == QStringLiteral("请输入关键词"))
        return {};
    return trimSpaces(boxText);
}

bool screenTexts(QWidget *parent, const QStringList &texts)
{
    for (const QString &text : texts) {
        if (!protocol::isClean(toGbkString(text))) {
            messageBoxes().show(parent, QStringLiteral("提交失败,不能包含特殊符号! "), StyleError,
                                appState().appTitle);
            return false;
        }
    }
    return true;
}

} // namespace vantrell::client
