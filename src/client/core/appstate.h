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
    QString serverName;     // the host as configured: the name the TLS certificate must carry
    bool serverTls = false; // TLS to the server, its certificate verified
    QString serverCertFile; // absolute path of the pinned certificate; empty: system store
    // Why the server settings of the user-data file cannot be used; while set, no
    // connect is tried and this text is shown instead.
    QString serverSettingsError;
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
// The server settings: the build configuration, each item overridden by the user-data
// file's section 系统设置 when present there: 服务器地址 (host name or dotted address),
// 服务器端口 (1..65535), 加密连接 ("1" TLS, "0" plain) and 服务器证书 (pinned certificate,
// relative to the run directory). Fills serverName, serverHost (resolved), serverPort,
// serverTls, serverCertFile and serverSettingsError.
void loadServerSettings();
// Fills the title, version and the server settings.
void loadBuiltInConfiguration();

} // namespace vantrell::client
