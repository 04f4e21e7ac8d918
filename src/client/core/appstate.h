#pragma once

// Program-wide state: built-in configuration, the connected flag and the profile of
// the last sign-in. Read and written on the GUI thread only.

#include <QString>
#include <QStringList>
#include <QVector>

namespace vantrell::client {

struct OrderLine
{
    QString goodsId, name, code, spec, unit, price, weight, quantity;
};

struct AppState
{
    QString appTitle;
    QString programVersion;
    QString serverHost; // dotted IPv4 after start-up resolution; empty when unresolvable
    int serverPort = 0;
    bool connected = false;

    QString currentUserName;
    QString currentPassword;
    QString profileName;    // 姓名 (contact name)
    QString profileCompany; // 公司
    QString profileType;    // 类型: "供应商" or "采购商"
    QString lastLoginTime;  // 上次登陆时间

    QStringList regions; // 1-based region index = position + 1
    QVector<OrderLine> orderLines;

    bool isSupplier() const;
    bool isPurchaser() const;
};

AppState &appState();

// First IPv4 address of a host name or dotted address, as dotted text; empty when the
// name cannot be resolved.
QString resolveIPv4(const QString &host);
// Fills the title, version, server host (resolved) and port from the build configuration.
void loadBuiltInConfiguration();

} // namespace vantrell::client
