// A scripted walk through the client against a running server (127.0.0.1:8600 with
// demo data): the login and registration windows, then signed in as the demo supplier
// and the demo purchaser every page, the account windows, the pages behind 关于我们 and
// 使用帮助, a message box and the exit question; writes a PNG of each window to --out DIR.

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/translations.h"
#include "client/core/userdata.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/changepassword.h"
#include "client/ui/account/loginwindow.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/account/mainwindowframe.h"
#include "client/ui/account/personalcentre.h"
#include "client/ui/account/registrationwindow.h"
#include "client/ui/account/usermenu.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QWidget>
#include <cstdio>
#include <functional>
#include <memory>

using namespace vantrell::client;

namespace {

void saveShot(QWidget *window, const QString &path, QStringList &shots)
{
    if (window->grab().save(path))
        shots << path;
    else
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
}

// No one is there to answer: questions get No, every box is printed. A box the tour
// names beforehand is shown as the program shows it and photographed.
class TourBoxes final : public MessageBoxes
{
public:
    MessageAnswer show(QWidget *, const QString &text, int style, const QString &caption) override
    {
        std::printf("  [box %d] %s: %s\n", style, qPrintable(caption), qPrintable(text));
        if (!m_shotName.isEmpty() && m_shots) {
            // Shown inside a plain window of its own: a box that is a window itself sizes
            // that window when shown, which the offscreen platform cannot do and says so.
            QWidget holder;
            const std::unique_ptr<QMessageBox> box = buildMessageBox(&holder, text, style, caption);
            box->setWindowFlags(Qt::Widget);
            holder.show();
            box->show();
            holder.resize(box->size());
            QCoreApplication::processEvents();
            saveShot(box.get(), QDir(m_out).filePath(m_shotName + QStringLiteral(".png")), *m_shots);
            m_shotName.clear();
        }
        return style == StyleYesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }

    void photographNext(const QString &name, const QString &outDir, QStringList *shots)
    {
        m_shotName = name;
        m_out = outDir;
        m_shots = shots;
    }

private:
    QString m_shotName;
    QString m_out;
    QStringList *m_shots = nullptr;
};

TourBoxes &tourBoxes()
{
    static TourBoxes boxes;
    return boxes;
}

void pause(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool waitFor(const std::function<bool()> &done, int ms = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class Tour
{
public:
    explicit Tour(QString outDir) : m_out(std::move(outDir)) {}

    int run()
    {
        LoginWindow login;
        login.start();
        pause(900);
        shoot(&login, QStringLiteral("login"));

        // 注册账号, and the box it shows for a form left empty.
        auto *registration = new RegistrationWindow(&login);
        registration->show();
        pause(300);
        shoot(registration, QStringLiteral("registration"));
        tourBoxes().photographNext(QStringLiteral("messagebox-registration"), m_out, &m_shots);
        registration->submit();
        registration->reject();
        pause(200);
        if (!visit(login, QStringLiteral("supplier"), QStringLiteral("supplier")))
            return 1;
        logOut();
        if (!visit(login, QStringLiteral("buyer"), QStringLiteral("purchaser")))
            return 1;
        logOut();
        std::printf("%lld screenshots in %s\n", static_cast<long long>(m_shots.size()), qPrintable(m_out));
        for (const QString &shot : m_shots)
            std::printf("  %s\n", qPrintable(shot));
        return 0;
    }

private:
    bool visit(LoginWindow &login, const QString &user, const QString &role)
    {
        std::printf("signing in as %s\n", qPrintable(user));
        login.findChild<QLineEdit *>(QStringLiteral("编辑框_用户名"))->setText(user);
        login.findChild<QLineEdit *>(QStringLiteral("编辑框_密码"))->setText(QStringLiteral("demo1234"));
        login.findChild<QAbstractButton *>(QStringLiteral("图形按钮_登录"))->click();
        if (!waitFor([] { return WindowRegistry::isLoaded(WindowId::Main); })) {
            std::fprintf(stderr, "the main window did not open (is the server running on 127.0.0.1:8600?)\n");
            return false;
        }
        auto *main = WindowRegistry::as<MainWindow>(WindowId::Main);
        const NavColumn column = appState().isPurchaser() ? NavColumn::Purchaser : NavColumn::Supplier;
        waitFor(
            [main] {
                return main->findChild<QTreeWidget *>(QStringLiteral("超级列表框_订单"))
                           ->topLevelItemCount() > 0;
            },
            4000);
        pause(600);
        shoot(main, QStringLiteral("main-%1-orders").arg(role));

        static const char *pages[] = {nullptr, nullptr, "goods", "partners", "finance"};
        for (int i = 2; i <= 4; ++i) {
            main->navigate(column, i);
            pause(900);
            shoot(main, QStringLiteral("main-%1-%2").arg(role, QString::fromLatin1(pages[i])));
        }
        main->navigate(column, 1);
        pause(300);

        main->frame()->toggleMode();
        pause(600);
        shoot(main, QStringLiteral("main-%1-maximised").arg(role));
        main->frame()->toggleMode();
        pause(300);

        main->toggleUserMenu();
        pause(300);
        if (QWidget *menu = WindowRegistry::get(WindowId::UserMenu))
            shoot(menu, QStringLiteral("usermenu-%1").arg(role));
        WindowRegistry::close(WindowId::UserMenu);

        (new PersonalCentre(main))->show();
        pause(900);
        shoot(WindowRegistry::get(WindowId::PersonalCentre), QStringLiteral("personalcentre-%1").arg(role));
        WindowRegistry::close(WindowId::PersonalCentre);

        (new ChangePassword(main))->show();
        pause(300);
        shoot(WindowRegistry::get(WindowId::ChangePassword), QStringLiteral("changepassword-%1").arg(role));
        WindowRegistry::close(WindowId::ChangePassword);
        pause(200);

        // 关于我们 and 使用帮助 ask the server for their addresses and hand them to the
        // system's browser; here they are only named.
        for (const char *item : {"超级按钮_关于我们", "超级按钮_使用帮助"}) {
            main->toggleUserMenu();
            pause(200);
            if (QWidget *menu = WindowRegistry::get(WindowId::UserMenu)) {
                if (auto *button = menu->findChild<QPushButton *>(QString::fromUtf8(item)))
                    button->click();
            }
            pause(400);
        }

        // The exit question of the navigation's last item, answered No.
        tourBoxes().photographNext(QStringLiteral("exit-question-%1").arg(role), m_out, &m_shots);
        main->navigate(column, 5);
        pause(200);
        return true;
    }

    void logOut()
    {
        // The same road as after a password change: the connection goes on purpose and
        // the login window comes back, without a connection-lost box.
        ServerLink::instance().logOut();
        pause(500);
    }

    void shoot(QWidget *window, const QString &name)
    {
        if (window)
            saveShot(window, QDir(m_out).filePath(name + QStringLiteral(".png")), m_shots);
    }

    QString m_out;
    QStringList m_shots;
};

// On the offscreen platform the screen is given the size of a common laptop, so that
// the maximised window shows something other than the design size.
void useLaptopScreen(const QString &configDir)
{
    if (qgetenv("QT_QPA_PLATFORM") != "offscreen")
        return;
    const QString path = QDir(configDir).filePath(QStringLiteral("screen.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(R"({"screens": [{"name": "tour", "x": 0, "y": 0, "width": 1366, "height": 768,
                   "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + path.toLocal8Bit());
}

// The offscreen platform cannot raise a window and says so each time the program asks;
// that one line is no failure. Every other message goes out as it came.
QtMessageHandler g_defaultHandler = nullptr;

void tourMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message == QStringLiteral("This plugin does not support raise()"))
        return;
    if (g_defaultHandler)
        g_defaultHandler(type, context, message);
}

} // namespace

int main(int argc, char **argv)
{
    QString out = QStringLiteral("screenshots-out");
    QString settings; // a user-data file whose server settings the tour uses
    for (int i = 1; i + 1 < argc; ++i) {
        if (QString::fromLocal8Bit(argv[i]) == QStringLiteral("--out"))
            out = QString::fromLocal8Bit(argv[i + 1]);
        if (QString::fromLocal8Bit(argv[i]) == QStringLiteral("--user-data"))
            settings = QString::fromLocal8Bit(argv[i + 1]);
    }
    QTemporaryDir scratch;
    useLaptopScreen(scratch.path());
    // Without a session (a plain console or a container) Qt would warn about the missing
    // runtime directory and make one of its own in /tmp.
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime.isValid()) {
        QFile::setPermissions(runtime.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    }
    g_defaultHandler = qInstallMessageHandler(tourMessages);

    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 9));
    QApplication::setQuitOnLastWindowClosed(false);
    QDir().mkpath(out);
    loadQtTranslations();

    setMessageBoxes(&tourBoxes());
    setAddressOpener([](const QUrl &address) {
        std::printf("  [page] %s\n", qPrintable(address.toString()));
        return true;
    });
    // The tour's settings stay out of the run directory.
    const QString scratchData = QDir(scratch.path()).filePath(QStringLiteral("用户数据.txt"));
    if (!settings.isEmpty())
        QFile::copy(settings, scratchData);
    UserData::setPathForTesting(scratchData);

    ServerLink::instance();
    registerAllHandlers();
    const int code = Tour(out).run();
    ServerLink::instance().disconnect();
    setMessageBoxes(nullptr);
    return code;
}
