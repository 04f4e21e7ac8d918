// A scripted walk through the client against a running server (127.0.0.1:8600 with
// demo data): signs in as the demo supplier and the demo purchaser, visits every page
// and account window, and writes a PNG of each window to --out DIR.

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/userdata.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/changepassword.h"
#include "client/ui/account/loginwindow.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/account/mainwindowframe.h"
#include "client/ui/account/personalcentre.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>
#include <cstdio>
#include <functional>
#include <memory>

using namespace vantrell::client;

namespace {

// No one is there to answer: questions get No, every box is printed.
class TourBoxes final : public MessageBoxes
{
public:
    MessageAnswer show(QWidget *, const QString &text, int style, const QString &caption) override
    {
        std::printf("  [box %d] %s: %s\n", style, qPrintable(caption), qPrintable(text));
        return style == StyleYesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
};

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
        return true;
    }

    void logOut()
    {
        // The same road as after a password change: the connection goes and the login
        // window comes back.
        ServerLink &link = ServerLink::instance();
        link.disconnect();
        link.connectionLostReset();
        pause(500);
    }

    void shoot(QWidget *window, const QString &name)
    {
        if (!window)
            return;
        const QString path = QDir(m_out).filePath(name + QStringLiteral(".png"));
        if (window->grab().save(path))
            m_shots << path;
        else
            std::fprintf(stderr, "could not write %s\n", qPrintable(path));
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

    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 9));
    QApplication::setQuitOnLastWindowClosed(false);
    QDir().mkpath(out);

    TourBoxes boxes;
    setMessageBoxes(&boxes);
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
