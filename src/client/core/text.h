#pragma once

// Text at the edge between Qt (QString) and the wire and settings file (GBK bytes).

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

namespace vantrell::client {

// GBK bytes of a text; characters GBK cannot hold become "?".
QByteArray toGbk(const QString &text);
std::string toGbkString(const QString &text);
// Text of GBK bytes; invalid sequences become U+FFFD.
QString fromGbk(std::string_view gbk);
inline QString fromGbk(const QByteArray &gbk)
{
    return fromGbk(std::string_view(gbk.constData(), gbk.size()));
}
// Byte length of the text in GBK (a Chinese character counts 2).
int gbkLength(const QString &text);
// Removes ASCII spaces and the full-width space (U+3000, GBK A1 A1) from both ends.
QString trimSpaces(const QString &text);

} // namespace vantrell::client
