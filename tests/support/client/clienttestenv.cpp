#include "clienttestenv.h"

#include "client/core/program.h"
#include "client/core/shortcut.h"
#include "client/core/text.h"
#include "client/core/userdata.h"
#include "client/net/serverlink.h"
#include "client/net/services.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QTest>

namespace vantrell::test {

TempUserData::TempUserData()
{
    QDir(m_dir.path()).mkpath(QStringLiteral("desktop"));
    QDir(m_dir.path()).mkpath(QStringLiteral("run"));
    client::UserData::setPathForTesting(filePath());
    client::DesktopShortcut::setDesktopForTesting(desktopDir());
    client::Services::setRunDirectoryForTesting(runDir());
}

TempUserData::~TempUserData()
{
    client::UserData::setPathForTesting({});
    client::DesktopShortcut::setDesktopForTesting({});
    client::Services::setRunDirectoryForTesting({});
}

QString TempUserData::filePath() const
{
    return m_dir.path() + QStringLiteral("/用户数据.txt");
}

QString TempUserData::desktopDir() const
{
    return m_dir.path() + QStringLiteral("/desktop");
}

QString TempUserData::runDir() const
{
    return m_dir.path() + QStringLiteral("/run");
}

QByteArray TempUserData::fileBytes() const
{
    QFile file(filePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TempUserData::setFileBytes(const QByteArray &bytes) const
{
    QFile file(filePath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

ProgramEndRecorder::ProgramEndRecorder()
{
    client::setProgramEnder([this](int code) { m_codes.append(code); });
}

ProgramEndRecorder::~ProgramEndRecorder()
{
    client::setProgramEnder({});
}

RequestRecorder::RequestRecorder(bool replace)
{
    client::ServerLink::instance().setRequestTap(
        [this](const QByteArray &payload) { m_payloads.append(payload); }, replace);
}

RequestRecorder::~RequestRecorder()
{
    client::ServerLink::instance().setRequestTap({}, false);
}

QStringList RequestRecorder::texts() const
{
    QStringList out;
    for (const QByteArray &payload : m_payloads)
        out.append(client::fromGbk(payload));
    return out;
}

void processPending()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::qSleep(2);
    }
    return true;
}

std::string gbkPayload(const QString &text)
{
    return client::toGbkString(text);
}

bool signInThrough(QWidget *loginWindow, const QString &user, const QString &password, int timeoutMs)
{
    QLineEdit *name = child<QLineEdit>(loginWindow, QStringLiteral("编辑框_用户名"));
    QLineEdit *secret = child<QLineEdit>(loginWindow, QStringLiteral("编辑框_密码"));
    QAbstractButton *button = child<QAbstractButton>(loginWindow, QStringLiteral("图形按钮_登录"));
    if (!name || !secret || !button)
        return false;
    name->setText(user);
    secret->setText(password);
    button->click();
    return waitFor([] { return client::WindowRegistry::isLoaded(client::WindowId::Main); }, timeoutMs);
}

void signOutClosing(std::initializer_list<client::WindowId> windows)
{
    for (client::WindowId id : windows)
        client::WindowRegistry::close(id);
    client::ServerLink::instance().disconnect();
    client::WindowRegistry::close(client::WindowId::Main);
    processPending();
}

} // namespace vantrell::test
