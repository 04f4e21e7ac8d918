#include "client/core/text.h"

#include "protocol/gbk.h"

#include <QList>

namespace vantrell::client {

QByteArray toGbk(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    if (auto whole = protocol::utf8ToGbk(std::string_view(utf8.constData(), utf8.size())))
        return QByteArray(whole->data(), qsizetype(whole->size()));

    // Only some characters cannot be held: convert one code point at a time.
    QByteArray out;
    out.reserve(utf8.size());
    const QList<uint> codePoints = text.toUcs4();
    for (uint cp : codePoints) {
        const QByteArray one = QString::fromUcs4(reinterpret_cast<const char32_t *>(&cp), 1).toUtf8();
        auto converted = protocol::utf8ToGbk(std::string_view(one.constData(), one.size()));
        if (converted && !converted->empty())
            out.append(converted->data(), qsizetype(converted->size()));
        else
            out.append('?');
    }
    return out;
}

std::string toGbkString(const QString &text)
{
    const QByteArray bytes = toGbk(text);
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

QString fromGbk(std::string_view gbk)
{
    if (auto whole = protocol::gbkToUtf8(gbk))
        return QString::fromUtf8(whole->data(), qsizetype(whole->size()));

    QString out;
    out.reserve(qsizetype(gbk.size()));
    std::size_t i = 0;
    while (i < gbk.size()) {
        const auto c = static_cast<unsigned char>(gbk[i]);
        if (c < 0x80) {
            out.append(QLatin1Char(char(c)));
            ++i;
            continue;
        }
        if (protocol::isGbkLeadByte(c) && i + 1 < gbk.size() &&
            protocol::isGbkTrailByte(static_cast<unsigned char>(gbk[i + 1]))) {
            if (auto pair = protocol::gbkToUtf8(gbk.substr(i, 2))) {
                out.append(QString::fromUtf8(pair->data(), qsizetype(pair->size())));
                i += 2;
                continue;
            }
        }
        out.append(QChar(0xFFFD));
        ++i;
    }
    return out;
}

int gbkLength(const QString &text)
{
    return int(toGbk(text).size());
}

QString trimSpaces(const QString &text)
{
    auto isSpace = [](QChar c) {
        return c == QLatin1Char(' ') || c == QChar(0x3000);
    };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpace(text.at(begin)))
        ++begin;
    while (end > begin && isSpace(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace vantrell::client
