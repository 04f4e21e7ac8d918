#include "client/ui/account/loginwindow.h"

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/program.h"
#include "client/core/shortcut.h"
#include "client/core/skin.h"
#include "client/core/text.h"
#include "client/core/userdata.h"
#include "client/core/windowdrag.h"
#include "client/core/windowregistry.h"
#include "client/net/request.h"
#include "client/net/serverlink.h"
#include "client/net/services.h"
#include "client/ui/account/registrationwindow.h"
#include "client/ui/common/inputrules.h"
#include "client/ui/common/keyboard.h"
#include "protocol/md5.h"
#include "protocol/scramble.h"
#include "ui_loginwindow.h"
#include "vantrell_config.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHideEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>

namespace vantrell::client {

namespace {

constexpr int kFadeSteps = 51;
constexpr int kFadeStepMs = 10;

const QString kAccountSection = QStringLiteral("账号信息");
const QString kConnecting = QStringLiteral("正在连接服务器...");
const QString kLoggingIn = QStringLiteral("正在登录...");

} // namespace

LoginWindow::LoginWindow(QWidget *parent)
    : QWidget(parent), m_ui(new Ui::LoginWindow), m_fadeTimer(new QTimer(this)), m_loginWait(new QTimer(this))
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_StyledBackground);
    m_ui->区域_标题->setAttribute(Qt::WA_StyledBackground);
    m_ui->区域_注册->setAttribute(Qt::WA_StyledBackground);
    new WindowDragger(this);
    m_fadeTimer->setInterval(kFadeStepMs);

    m_ui->编辑框_用户名->installEventFilter(this);
    m_ui->编辑框_密码->installEventFilter(this);
    connect(m_ui->图形按钮_登录, &QPushButton::clicked, this, &LoginWindow::startLogin);
    connect(m_ui->超级按钮_注册账号, &QPushButton::clicked, this, &LoginWindow::openRegistration);
    connect(m_ui->超级按钮_找回密码, &QPushButton::clicked, this, &LoginWindow::showPasswordRecovery);
    connect(m_ui->图形按钮_最小化, &QPushButton::clicked, this, &QWidget::showMinimized);
    connect(m_ui->图形按钮_关闭, &QPushButton::clicked, this, &LoginWindow::closeWithFade);
    pressButtonsOnEnter(this);

    // The ends of a login's wait. A refused login comes back as a notice; a silent server
    // does not keep the button off for good.
    m_loginWait->setSingleShot(true);
    m_loginWait->setInterval(kLoginWaitMs);
    connect(m_loginWait, &QTimer::timeout, this, [this] {
        showBusy({});
        ServerLink::instance().deferMessageBox(QStringLiteral("服务器没有响应,请稍后再试。"),
                                               StyleInformation, windowTitle());
    });
    Services::observeNotices(this, [this](const QString &) {
        if (isWaitingForLogin())
            showBusy({});
    });
    connect(&ServerLink::instance(), &ServerLink::connectionLost, this, [this] { showBusy({}); });

    WindowRegistry::set(WindowId::Login, this);
}

LoginWindow::~LoginWindow()
{
    if (WindowRegistry::get(WindowId::Login) == this)
        WindowRegistry::set(WindowId::Login, nullptr);
    delete m_ui;
}

void LoginWindow::start()
{
    attachSkin(0, 0, 0, 0);

    AppState &state = appState();
    state.appTitle = QString::fromUtf8(config::kAppTitle);
    state.programVersion = QString::fromUtf8(config::kProgramVersion);
    setWindowTitle(state.appTitle);
    m_ui->标签_标题->setText(state.appTitle);

    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    fade(0, 255, {});

    loadServerSettings();

    loadAccount();
    recordVersionAndOfferShortcut(this, windowTitle());
}

void LoginWindow::loadAccount()
{
    m_ui->编辑框_用户名->setText(UserData::read(kAccountSection, QStringLiteral("用户名")));
    if (UserData::read(kAccountSection, QStringLiteral("存储密码")) == QStringLiteral("是")) {
        const QByteArray stored = UserData::read(kAccountSection, QStringLiteral("密码")).toLatin1();
        const std::string clear =
            protocol::unscramble(std::string_view(stored.constData(), std::size_t(stored.size())));
        m_ui->编辑框_密码->setText(fromGbk(clear));
        m_ui->图形按钮_记住密码->setChecked(true);
    }
    if (m_ui->编辑框_用户名->text().isEmpty()) {
        m_ui->编辑框_用户名->setFocus();
    } else {
        m_ui->编辑框_密码->setFocus();
        m_ui->编辑框_密码->end(false);
    }
}

void LoginWindow::saveAccount()
{
    UserData::write(kAccountSection, QStringLiteral("用户名"), m_ui->编辑框_用户名->text());
    if (m_ui->图形按钮_记住密码->isChecked()) {
        const std::string scrambled = protocol::scramble(toGbkString(m_ui->编辑框_密码->text()));
        UserData::write(kAccountSection, QStringLiteral("密码"),
                        QString::fromLatin1(scrambled.data(), qsizetype(scrambled.size())));
        UserData::write(kAccountSection, QStringLiteral("存储密码"), QStringLiteral("是"));
    } else {
        UserData::write(kAccountSection, QStringLiteral("存储密码"), QStringLiteral("否"));
    }
}

void LoginWindow::focusEdit(QWidget *edit)
{
    edit->setFocus();
    if (auto *line = qobject_cast<QLineEdit *>(edit))
        line->end(false);
}

void LoginWindow::startLogin()
{
    if (!m_ui->图形按钮_登录->isEnabled())
        return;
    const QString userName = m_ui->编辑框_用户名->text();
    const QString password = m_ui->编辑框_密码->text();
    if (userName.isEmpty()) {
        inform(this, QStringLiteral("请填写用户名。"), windowTitle());
        focusEdit(m_ui->编辑框_用户名);
        return;
    }
    if (password.isEmpty()) {
        inform(this, QStringLiteral("请填写密码。"), windowTitle());
        focusEdit(m_ui->编辑框_密码);
        return;
    }
    if (!screenTyped({userName, password}, this))
        return;

    showBusy(kConnecting);
    saveAccount();
    AppState &state = appState();
    state.currentUserName = userName;
    state.currentPassword = password;

    // The connect runs off the GUI thread; the login goes once it has been announced.
    ServerLink::instance().connectAndAnnounce([window = QPointer(this), userName, password](bool connected) {
        if (!window)
            return;
        const bool sent =
            connected && ServerLink::instance().sendRequest(
                             QStringLiteral("登陆系统_用户登陆"),
                             RequestFields()
                                 .add(QStringLiteral("用户名"), userName)
                                 .add(QStringLiteral("密码"),
                                      QString::fromStdString(protocol::md5Hex(toGbkString(password))))
                                 .bytes());
        window->showBusy(sent ? kLoggingIn : QString());
    });
}

void LoginWindow::showBusy(const QString &text)
{
    QPushButton *button = m_ui->图形按钮_登录;
    if (!text.isEmpty() && button->isEnabled())
        m_loginText = button->text();
    if (text.isEmpty() && button->isEnabled())
        return;
    button->setEnabled(text.isEmpty());
    button->setText(text.isEmpty() ? m_loginText : text);
    if (text == kLoggingIn)
        m_loginWait->start();
    else
        m_loginWait->stop();
}

void LoginWindow::setLoginWait(int ms)
{
    m_loginWait->setInterval(ms);
}

bool LoginWindow::isWaitingForLogin() const
{
    return m_loginWait->isActive();
}

void LoginWindow::hideEvent(QHideEvent *event)
{
    // Hidden for the main window: the login was answered. Back after a logout, the
    // button is ready again.
    // Minimising is no answer (that hide comes from the window system).
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        showBusy({});
}

void LoginWindow::openRegistration()
{
    auto *window = new RegistrationWindow(this);
    window->exec();
}

void LoginWindow::showPasswordRecovery()
{
    inform(this, QString::fromUtf8(config::kPasswordRecoveryText), windowTitle());
}

void LoginWindow::closeWithFade()
{
    if (m_ending)
        return;
    m_ending = true;
    fade(255, 0, [] { endProgram(0); });
}

bool LoginWindow::isFading() const
{
    return m_fadeTimer->isActive();
}

void LoginWindow::fade(int from, int to, std::function<void()> done)
{
    // The steps run from a timer rather than a sleeping loop, so the window keeps
    // painting and answering while it fades.
    m_fadeTimer->stop();
    m_fadeTimer->disconnect(this);
    m_fadeStep = 0;
    // Platforms without window opacity (offscreen) still take the same time.
    const QString platform = QGuiApplication::platformName();
    const bool canFade = platform != QStringLiteral("offscreen") && platform != QStringLiteral("minimal");
    if (canFade)
        setWindowOpacity(from / 255.0);
    if (!isVisible())
        show();
    const int delta = to > from ? 5 : -5;
    connect(m_fadeTimer, &QTimer::timeout, this, [this, from, delta, canFade, done] {
        ++m_fadeStep;
        if (canFade)
            setWindowOpacity((from + delta * m_fadeStep) / 255.0);
        if (m_fadeStep >= kFadeSteps) {
            m_fadeTimer->stop();
            if (done)
                done();
        }
    });
    m_fadeTimer->start();
}

bool LoginWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            const bool hasUser = !m_ui->编辑框_用户名->text().isEmpty();
            const bool hasPassword = !m_ui->编辑框_密码->text().isEmpty();
            if (hasUser && hasPassword)
                startLogin();
            else if (watched == m_ui->编辑框_用户名 && hasUser)
                focusEdit(m_ui->编辑框_密码);
            else if (watched == m_ui->编辑框_密码 && hasPassword)
                focusEdit(m_ui->编辑框_用户名);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LoginWindow::closeEvent(QCloseEvent *event)
{
    // Closed by the window manager or the system: no fade, the program ends.
    event->accept();
    if (!m_ending) {
        m_ending = true;
        endProgram(0);
    }
}

} // namespace vantrell::client
