#include "client/ui/common/framedwindow.h"

#include "client/core/messagebox.h"
#include "client/ui/common/glyphicons.h"
#include "client/ui/common/keyboard.h"
#include "client/ui/common/listlayout.h"

#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMouseEvent>
#include <QScreen>
#include <QSizeGrip>
#include <QToolButton>
#include <QWindow>

namespace vantrell::client {

FramedWindow::FramedWindow(QWidget *owner) : QWidget(owner, Qt::Dialog | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_StyledBackground); // the frame of the skin's sheet
    setProperty("role", QStringLiteral("framedWindow"));
    QFile sheet(QStringLiteral(":/skin/mainwindow.qss"));
    if (!owner && sheet.open(QIODevice::ReadOnly))
        setStyleSheet(QString::fromUtf8(sheet.readAll()));
}

void FramedWindow::adoptCloseButton(QToolButton *close)
{
    close->setIcon(glyphIcon(Glyph::Close, Qt::white));
    close->setFocusPolicy(Qt::NoFocus);
    connect(close, &QToolButton::clicked, this, &QWidget::close);
}

void FramedWindow::keyPressEvent(QKeyEvent *event)
{
    // Reaches the window only when the focused control did not take it: an open drop-down
    // list or a cell being edited takes Esc for itself.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        if (!hasUnsavedInput() ||
            askYesNo(this, QStringLiteral("放弃未保存的内容并关闭窗口?"), windowTitle()))
            close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FramedWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The .ui layouts fill the window edge to edge; one pixel is left for the frame.
    if (QLayout *outer = layout(); outer && outer->contentsMargins().isNull())
        outer->setContentsMargins(1, 1, 1, 1);
    pressButtonsOnEnter(this);
}

void FramedWindow::centreOnOwner()
{
    if (minimumSize() != maximumSize()) {
        restoreWindowSize(this);
        if (!m_grip) {
            m_grip = new QSizeGrip(this);
            m_grip->setObjectName(QStringLiteral("窗口大小"));
            m_grip->resize(m_grip->sizeHint());
            m_grip->move(width() - m_grip->width(), height() - m_grip->height());
            m_grip->raise();
        }
    }
    const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
    QRect area = owner ? owner->geometry() : QGuiApplication::primaryScreen()->availableGeometry();
    QRect frame(QPoint(), size());
    frame.moveCenter(area.center());
    move(frame.topLeft());
}

void FramedWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    saveWindowSize(this);
}

void FramedWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_grip) {
        m_grip->move(width() - m_grip->width(), height() - m_grip->height());
        m_grip->raise();
    }
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
