#include "client/ui/common/framedwindow.h"

#include "client/ui/common/glyphicons.h"

#include <QFile>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QToolButton>
#include <QWindow>

namespace vantrell::client {

FramedWindow::FramedWindow(QWidget *owner) : QWidget(owner, Qt::Dialog | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setProperty("role", QStringLiteral("framedWindow"));
    QFile sheet(QStringLiteral(":/skin/mainwindow.qss"));
    if (!owner && sheet.open(QIODevice::ReadOnly))
        setStyleSheet(QString::fromUtf8(sheet.readAll()));
}

void FramedWindow::adoptCloseButton(QToolButton *close)
{
    close->setIcon(glyphIcon(Glyph::Close, Qt::white));
    connect(close, &QToolButton::clicked, this, &QWidget::close);
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
