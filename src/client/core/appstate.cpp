#include "client/core/appstate.h"

#include "vantrell_config.h"

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

void loadBuiltInConfiguration()
{
    AppState &state = appState();
    state.appTitle = QString::fromUtf8(config::kAppTitle);
    state.programVersion = QString::fromUtf8(config::kProgramVersion);
    state.serverHost = resolveIPv4(QString::fromUtf8(config::kServerHost));
    state.serverPort = config::kServerPort;
}

} // namespace vantrell::client
