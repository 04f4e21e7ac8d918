#pragma once

// The services without a screen: the update path, the heartbeat answer and the
// server's notices. Called by the reply dispatcher on the GUI thread.

#include <QString>
#include <QUrl>
#include <functional>

class QObject;

namespace vantrell::client {

struct Reply;

class Services
{
public:
    // A newer version exists: tells the user, starts the updater beside the executable
    // (or opens the download address without one) and ends the program with 0. No reply
    // is acted on from the moment it starts.
    static void update(const Reply &reply);
    static void answerHeartbeat();
    // 信息, 询问 and 错误 show the value of 内容 with the matching icon; other actions nothing.
    static void showNotice(const QString &action, const Reply &reply);
    // Also told of every notice (before its box is shown), for as long as `owner` lives:
    // a window that locked a button for a request learns that the server refused it.
    static void observeNotices(QObject *owner, std::function<void(const QString &action)> observer);

    // Path of the updater: run directory + "/更新程序.exe" on Windows, "/更新程序" elsewhere.
    static QString updaterPath();
    static void setRunDirectoryForTesting(const QString &dir); // empty restores the real one
    // The routine that opens a web address; empty restores QDesktopServices::openUrl.
    static void setUrlOpener(std::function<void(const QUrl &)> opener);
};

} // namespace vantrell::client
