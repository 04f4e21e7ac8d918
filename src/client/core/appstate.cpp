#include "client/core/appstate.h"

#include "client/core/userdata.h"
#include "vantrell_config.h"

#include <QCoreApplication>
#include <QDir>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#endif

namespace vantrell::client {

bool AppState::isSupplier() const
{
    return profileType == QStringLiteral("供应商");
}

bool AppState::isPurchaser() const
{
    return profileType == QStringLiteral("采购商");
}

AppState &appState()
{
    static AppState state;
    return state;
}

QString resolveIPv4(const QString &host)
{
    if (host.isEmpty())
        return {};
    const QByteArray name = host.toUtf8();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(name.constData(), nullptr, &hints, &found) != 0 || !found)
        return {};
    char text[INET_ADDRSTRLEN] = {};
    const auto *address = reinterpret_cast<const sockaddr_in *>(found->ai_addr);
    const bool ok = inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr;
    freeaddrinfo(found);
    return ok ? QString::fromLatin1(text) : QString();
}

void loadServerSettings()
{
    const QString section = QStringLiteral("系统设置");
    const auto item = [&](const char *key) {
        return UserData::read(section, QString::fromUtf8(key)).trimmed();
    };
    AppState &state = appState();
    QStringList problems;

    const QString host = item("服务器地址");
    state.serverName = host.isEmpty() ? QString::fromUtf8(config::kServerHost) : host;
    state.serverHost = resolveIPv4(state.serverName);

    state.serverPort = config::kServerPort;
    if (const QString port = item("服务器端口"); !port.isEmpty()) {
        bool ok = false;
        const int value = port.toInt(&ok);
        if (ok && value >= 1 && value <= 65535)
            state.serverPort = value;
        else
            problems.append(QStringLiteral("服务器端口“%1”无效,应为 1 到 65535 之间的整数。").arg(port));
    }

    // A value that is neither on nor off must not quietly pick one: no connect at all.
    state.serverTls = config::kServerTls;
    if (const QString tls = item("加密连接"); !tls.isEmpty()) {
        if (tls == QStringLiteral("1") || tls == QStringLiteral("0"))
            state.serverTls = tls == QStringLiteral("1");
        else
            problems.append(QStringLiteral("加密连接“%1”无效,应为 1(加密)或 0(不加密)。").arg(tls));
    }

    QString certificate = item("服务器证书");
    if (certificate.isEmpty())
        certificate = QString::fromUtf8(config::kServerCert);
    state.serverCertFile =
        certificate.isEmpty()
            ? QString()
            : QDir::cleanPath(QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(certificate));

    state.serverSettingsError.clear();
    if (!problems.isEmpty())
        state.serverSettingsError = QStringLiteral("用户数据文件的系统设置有误:") + problems.join(QString()) +
                                    QStringLiteral("请联系管理员。");
}

void loadBuiltInConfiguration()
{
    AppState &state = appState();
    state.appTitle = QString::fromUtf8(config::kAppTitle);
    state.programVersion = QString::fromUtf8(config::kProgramVersion);
    loadServerSettings();
}

} // namespace vantrell::client
