#include "client/net/services.h"

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/program.h"
#include "client/net/dispatcher.h"
#include "client/net/request.h"
#include "client/net/serverlink.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <vector>

namespace vantrell::client {

namespace {

QString &runDirectoryOverride()
{
    static QString dir;
    return dir;
}

std::function<void(const QUrl &)> &urlOpener()
{
    static std::function<void(const QUrl &)> opener;
    return opener;
}

struct NoticeObserver
{
    QPointer<QObject> owner;
    std::function<void(const QString &)> observer;
};

std::vector<NoticeObserver> &noticeObservers()
{
    static std::vector<NoticeObserver> observers;
    return observers;
}

} // namespace

QString Services::updaterPath()
{
    const QString dir =
        runDirectoryOverride().isEmpty() ? QCoreApplication::applicationDirPath() : runDirectoryOverride();
#ifdef _WIN32
    return dir + QStringLiteral("/更新程序.exe");
#else
    return dir + QStringLiteral("/更新程序");
#endif
}

void Services::setRunDirectoryForTesting(const QString &dir)
{
    runDirectoryOverride() = dir;
}

void Services::setUrlOpener(std::function<void(const QUrl &)> opener)
{
    urlOpener() = std::move(opener);
}

void Services::update(const Reply &reply)
{
    // The box below runs its own event loop; replies that arrive meanwhile must not open
    // or change windows of a program that is about to end.
    ServerLink::instance().setHandlingReplies(false);

    const QString caption = QStringLiteral("升级程序");
    const QString updater = updaterPath();
    if (QFileInfo(updater).isFile()) {
        messageBoxes().show(nullptr, QStringLiteral("发现新版本,即将启动升级器。"), StyleInformation,
                            caption);
        const QString ownName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        QProcess::startDetached(updater, {ownName}, QFileInfo(updater).absolutePath());
    } else {
        messageBoxes().show(nullptr, QStringLiteral("发现新版本,即将打开下载链接。"), StyleInformation,
                            caption);
        const QUrl address(reply.value(QStringLiteral("下载地址")));
        if (urlOpener())
            urlOpener()(address);
        else
            QDesktopServices::openUrl(address);
    }
    endProgram(0);
}

void Services::answerHeartbeat()
{
    send<protocol::Request::HeartbeatAnswer>();
}

void Services::observeNotices(QObject *owner, std::function<void(const QString &action)> observer)
{
    noticeObservers().push_back({owner, std::move(observer)});
}

void Services::showNotice(const QString &action, const Reply &reply)
{
    std::erase_if(noticeObservers(), [](const NoticeObserver &entry) { return entry.owner.isNull(); });
    // A copy: an observer may close its window and so end its own entry.
    const std::vector<NoticeObserver> observers = noticeObservers();
    for (const NoticeObserver &entry : observers) {
        if (entry.owner)
            entry.observer(action);
    }
    int style = 0;
    if (action == QStringLiteral("信息"))
        style = StyleInformation;
    else if (action == QStringLiteral("询问"))
        style = StyleQuestion;
    else if (action == QStringLiteral("错误"))
        style = StyleError;
    else
        return;
    ServerLink::instance().deferMessageBox(reply.value(QStringLiteral("内容")), style, appState().appTitle);
}

} // namespace vantrell::client
