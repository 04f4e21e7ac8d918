#pragma once

// The user-data file beside the executable: a Windows profile (INI) file in GBK with
// the sections 账号信息, 系统设置 and 窗口模式. Read and written item by item, no copy
// kept in memory; items the program does not know are kept.

#include <QString>

namespace vantrell::client {

class UserData
{
public:
    // Path of the file: run directory + "/用户数据.txt", unless overridden.
    static QString path();
    static void setPathForTesting(const QString &path); // empty restores the default

    // Missing file, section or key read as the empty text; values are cut at 10239 bytes.
    static QString read(const QString &section, const QString &key);
    // Creates the file when needed; an unwritable file fails silently (returns false).
    static bool write(const QString &section, const QString &key, const QString &value);
};

} // namespace vantrell::client
