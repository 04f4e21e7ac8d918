#include "client/core/shortcut.h"

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/userdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef _WIN32
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#endif

namespace vantrell::client {

namespace {

QString &desktopOverride()
{
    static QString dir;
    return dir;
}

QString desktopDir()
{
    if (!desktopOverride().isEmpty())
        return desktopOverride();
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

#ifdef _WIN32
bool createLink(const QString &linkPath, const QString &target)
{
    const bool initialised = SUCCEEDED(CoInitialize(nullptr));
    IShellLinkW *link = nullptr;
    bool ok = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                         reinterpret_cast<void **>(&link)));
    if (ok) {
        const std::wstring targetW = QDir::toNativeSeparators(target).toStdWString();
        const std::wstring dirW = QDir::toNativeSeparators(QFileInfo(target).absolutePath()).toStdWString();
        link->SetPath(targetW.c_str());
        link->SetWorkingDirectory(dirW.c_str());
        link->SetShowCmd(SW_SHOWNORMAL);
        IPersistFile *file = nullptr;
        ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file)));
        if (ok) {
            const std::wstring pathW = QDir::toNativeSeparators(linkPath).toStdWString();
            ok = SUCCEEDED(file->Save(pathW.c_str(), TRUE));
            file->Release();
        }
        link->Release();
    }
    if (initialised)
        CoUninitialize();
    return ok;
}
#else
QString desktopEntryValue(QString text)
{
    // Exec arguments with spaces or quotes must be quoted.
    if (text.contains(QLatin1Char(' ')) || text.contains(QLatin1Char('"')) ||
        text.contains(QLatin1Char('\\'))) {
        text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
        text.replace(QLatin1Char('"'), QStringLiteral("\\\""));
        text = QLatin1Char('"') + text + QLatin1Char('"');
    }
    return text;
}

bool createLink(const QString &linkPath, const QString &target)
{
    QFile file(linkPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QString entry =
        QStringLiteral("[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=%1\n"
                       "Exec=%2\n"
                       "Path=%3\n"
                       "Terminal=false\n")
            .arg(appState().appTitle.isEmpty() ? QStringLiteral("Vantrell") : appState().appTitle,
                 desktopEntryValue(target), QFileInfo(target).absolutePath());
    if (file.write(entry.toUtf8()) < 0)
        return false;
    file.close();
    return file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser |
                               QFileDevice::ExeGroup | QFileDevice::ExeOther);
}
#endif

} // namespace

QString DesktopShortcut::path()
{
#ifdef _WIN32
    return desktopDir() + QStringLiteral("/Vantrell.lnk");
#else
    return desktopDir() + QStringLiteral("/Vantrell.desktop");
#endif
}

bool DesktopShortcut::exists()
{
    return QFileInfo::exists(path());
}

bool DesktopShortcut::create()
{
    const QString dir = desktopDir();
    if (dir.isEmpty() || !QDir().mkpath(dir))
        return false;
    const QString target = QDir(QCoreApplication::applicationDirPath())
                               .filePath(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    return createLink(path(), target);
}

void DesktopShortcut::setDesktopForTesting(const QString &dir)
{
    desktopOverride() = dir;
}

void recordVersionAndOfferShortcut(QWidget *parent, const QString &caption)
{
    const QString section = QStringLiteral("系统设置");
    const QString key = QStringLiteral("版本号");
    const QString version = appState().programVersion;
    if (UserData::read(section, key) == version)
        return;
    UserData::write(section, key, version);
    if (DesktopShortcut::exists())
        return;
    if (askYesNo(parent, QStringLiteral("是否创建桌面快捷方式?"), caption))
        DesktopShortcut::create();
}

} // namespace vantrell::client
