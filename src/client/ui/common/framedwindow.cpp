#include "client/ui/common/framedwindow.h"

#include "client/ui/common/glyphicons.h"

#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

namespace vantrell::client {

FramedWindow::FramedWindow(QWidget *owner, const QString &title, const QString &closeButtonName)
    : QWidget(owner, Qt::Dialog | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title);
    setProperty("role", QStringLiteral("framedWindow"));
    QFile sheet(QStringLiteral(":/skin/mainwindow.qss"));
    if (!owner && sheet.open(QIODevice::ReadOnly))
        setStyleSheet(QString::fromUtf8(sheet.readAll()));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *bar = new QFrame(this);
    bar->setObjectName(QStringLiteral("titleBar"));
    bar->setFixedHeight(40);
    auto *barRow = new QHBoxLayout(bar);
    barRow->setContentsMargins(16, 0, 8, 0);
    m_title = new QLabel(title, bar);
    m_title->setObjectName(QStringLiteral("windowTitle"));
    barRow->addWidget(m_title, 1);
    m_close = new QToolButton(bar);
    m_close->setObjectName(closeButtonName);
    m_close->setProperty("role", QStringLiteral("titleClose"));
    m_close->setIcon(glyphIcon(Glyph::Close, Qt::white));
    m_close->setIconSize(QSize(16, 16));
    m_close->setFixedSize(28, 28);
    m_close->setToolTip(QStringLiteral("关闭窗口"));
    m_close->setCursor(Qt::PointingHandCursor);
    barRow->addWidget(m_close);
    layout->addWidget(bar);
    m_body = new QFrame(this);
    m_body->setObjectName(QStringLiteral("windowBody"));
    layout->addWidget(m_body, 1);
    connect(m_close, &QToolButton::clicked, this, &QWidget::close);
}

void FramedWindow::centreOnOwner()
{
    const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
    QRect area = owner ? owner->geometry() : QGuiApplication::primaryScreen()->availableGeometry();
    QRect frame(QPoint(), size());
    frame.moveCenter(area.center());
    move(frame.topLeft());
}

void FramedWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || event->position().y() > 40)
        return;
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - pos();
}

void FramedWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragOffset);
}

void FramedWindow::mouseReleaseEvent(QMouseEvent *)
{
    m_dragging = false;
}

} // namespace vantrell::client
