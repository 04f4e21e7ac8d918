#pragma once

// Helpers of the client tests: a private user-data file, desktop and run directory, a
// recorder for the program's end, a recorder of sent requests, and child look-up.

#include "client/core/windowregistry.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>

namespace vantrell::test {

// Points the user-data file, the desktop and the run directory (updater) into a
// temporary directory for the lifetime of the object.
class TempUserData
{
public:
    TempUserData();
    ~TempUserData();

    QString dir() const { return m_dir.path(); }
    QString filePath() const;
    QString desktopDir() const;
    QString runDir() const;
    QByteArray fileBytes() const;
    void setFileBytes(const QByteArray &bytes) const;

private:
    QTemporaryDir m_dir;
};

// Records endProgram calls instead of ending the test.
class ProgramEndRecorder
{
public:
    ProgramEndRecorder();
    ~ProgramEndRecorder();
    const QList<int> &codes() const { return m_codes; }

private:
    QList<int> m_codes;
};

// Records every request payload (GBK); by default instead of sending it.
class RequestRecorder
{
public:
    explicit RequestRecorder(bool replace = true);
    ~RequestRecorder();
    const QList<QByteArray> &payloads() const { return m_payloads; }
    // The payloads converted from GBK.
    QStringList texts() const;
    void clear() { m_payloads.clear(); }

private:
    QList<QByteArray> m_payloads;
};

// Runs queued invocations (deferred calls and boxes) and deferred deletes.
void processPending();

// Processes events until the condition holds; false when it still does not after
// `timeoutMs`. Use with ASSERT_TRUE (Qt's QTRY_ macros do not report to GoogleTest).
bool waitFor(const std::function<bool()> &condition, int timeoutMs = 5000);

template <class T = QWidget> T *child(const QWidget *parent, const QString &name)
{
    T *found = parent->findChild<T *>(name);
    if (!found)
        ADD_FAILURE() << "no child named " << name.toStdString();
    return found;
}

// Types the text key by key, Chinese characters included (as an input method delivers
// them: one key event carrying the character).
void typeText(QWidget *widget, const QString &text);

// Types the account into a login window's boxes and presses 登录; true once the main
// window is loaded (the connect and the login reply are real, so allow for a slow server).
bool signInThrough(QWidget *loginWindow, const QString &user, const QString &password, int timeoutMs = 20000);

// What a logout leaves: `windows` closed, the connection dropped, the main window closed
// and every deferred call run.
void signOutClosing(std::initializer_list<client::WindowId> windows = {});

// GBK bytes of a reply or request written as UTF-8 text.
std::string gbkPayload(const QString &text);

} // namespace vantrell::test
