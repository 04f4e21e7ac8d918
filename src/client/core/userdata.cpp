#include "client/core/userdata.h"

#include "client/core/text.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
// Narrow mode: GBK bytes in and out, no character conversion.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

namespace vantrell::client {

namespace {

constexpr qsizetype kMaxValueBytes = 10239;

QString &pathOverride()
{
    static QString path;
    return path;
}

// Windows profile files may hold the section and key names in GBK only; SimpleIni in
// narrow mode keeps them as the bytes they are.
bool loadInto(CSimpleIniA &ini, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    return ini.LoadData(bytes.constData(), std::size_t(bytes.size())) >= 0;
}

} // namespace

QString UserData::path()
{
    if (!pathOverride().isEmpty())
        return pathOverride();
    return QCoreApplication::applicationDirPath() + QStringLiteral("/用户数据.txt");
}

void UserData::setPathForTesting(const QString &path)
{
    pathOverride() = path;
}

QString UserData::read(const QString &section, const QString &key)
{
    CSimpleIniA ini(false, false, false);
    if (!loadInto(ini, path()))
        return {};
    const char *value = ini.GetValue(toGbkString(section).c_str(), toGbkString(key).c_str(), nullptr);
    if (!value)
        return {};
    QByteArray bytes(value);
    if (bytes.size() > kMaxValueBytes)
        bytes.truncate(kMaxValueBytes);
    return fromGbk(bytes);
}

bool UserData::write(const QString &section, const QString &key, const QString &value)
{
    CSimpleIniA ini(false, false, false);
    ini.SetSpaces(false);
    loadInto(ini, path()); // a missing file is created
    const std::string gbkValue = toGbkString(value);
    // Line breaks inside a value would start new items on the next read.
    std::string clean;
    clean.reserve(gbkValue.size());
    for (char c : gbkValue) {
        if (c != '\r' && c != '\n')
            clean.push_back(c);
    }
    if (ini.SetValue(toGbkString(section).c_str(), toGbkString(key).c_str(), clean.c_str()) < 0)
        return false;

    std::string text;
    if (ini.Save(text) < 0)
        return false;
    QByteArray bytes;
    bytes.reserve(qsizetype(text.size() + text.size() / 8));
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            bytes.append('\r');
        bytes.append(text[i]);
    }

    QSaveFile file(path());
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size())
        return false;
    return file.commit();
}

} // namespace vantrell::client
