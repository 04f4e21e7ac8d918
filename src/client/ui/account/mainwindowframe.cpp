#include "client/ui/account/mainwindowframe.h"

#include "client/core/userdata.h"
#include "client/net/serverlink.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/common/pagedlist.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace vantrell::client {

namespace {

const QString kSection = QStringLiteral("窗口模式");
constexpr int kGrip = 6;       // the edge band that resizes
constexpr int kCornerGap = 10; // keeps the straight bands away from the corner
constexpr qreal kDragOpacity = 168.0 / 255.0;

} // namespace

// A transparent band along the right or bottom edge (or the corner) that shows the
// resize pointer and sizes the window when dragged.
class EdgeGrip final : public QWidget
{
public:
    EdgeGrip(Qt::Edges edges, MainWindowFrame *frame, QWidget *parent)
        : QWidget(parent), m_edges(edges), m_frame(frame)
    {
        setObjectName(edges == (Qt::RightEdge | Qt::BottomEdge) ? QStringLiteral("resizeCorner")
                      : edges == Qt::RightEdge                  ? QStringLiteral("resizeRight")
                                                                : QStringLiteral("resizeBottom"));
        setCursor(edges == Qt::RightEdge    ? Qt::SizeHorCursor
                  : edges == Qt::BottomEdge ? Qt::SizeVerCursor
                                            : Qt::SizeFDiagCursor);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton)
            m_frame->beginResize(m_edges, event->globalPosition().toPoint());
    }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        if (event->buttons() & Qt::LeftButton)
            m_frame->dragResize(event->globalPosition().toPoint());
    }
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton)
            m_frame->endResize();
    }

private:
    Qt::Edges m_edges;
    MainWindowFrame *m_frame;
};

MainWindowFrame::MainWindowFrame(MainWindow *window) : QObject(window), m_window(window)
{
    m_grips[0] = new EdgeGrip(Qt::RightEdge, this, window);
    m_grips[1] = new EdgeGrip(Qt::BottomEdge, this, window);
    m_grips[2] = new EdgeGrip(Qt::RightEdge | Qt::BottomEdge, this, window);
    m_systemResizePoll.setInterval(100);
    connect(&m_systemResizePoll, &QTimer::timeout, this, &MainWindowFrame::pollSystemResize);
}

void MainWindowFrame::placeGrips()
{
    const int w = m_window->width();
    const int h = m_window->height();
    m_grips[0]->setGeometry(w - kGrip, 0, kGrip, h - kCornerGap);
    m_grips[1]->setGeometry(0, h - kGrip, w - kCornerGap, kGrip);
    m_grips[2]->setGeometry(w - kGrip, h - kGrip, kGrip, kGrip);
    for (EdgeGrip *grip : m_grips)
        grip->raise();
}

QSize MainWindowFrame::storedSize() const
{
    // Unreadable values count as 0 and the minimum applies.
    return {
        std::max(leadingInt(UserData::read(kSection, QStringLiteral("宽度"))), int(MainWindow::kMinWidth)),
        std::max(leadingInt(UserData::read(kSection, QStringLiteral("高度"))), int(MainWindow::kMinHeight))};
}

void MainWindowFrame::restoreMode()
{
    const QString type = UserData::read(kSection, QStringLiteral("类型"));
    if (type == QStringLiteral("1")) {
        enterNormal(storedSize());
        QPointer<MainWindow> window = m_window;
        ServerLink::instance().deferGuiCall([window, this] {
            if (window && !m_maximised) {
                window->showNormal();
                centre();
            }
        });
    } else if (type == QStringLiteral("2")) {
        enterMaximised();
    } else {
        m_window->showModePicture(false);
        centre();
    }
}

void MainWindowFrame::toggleMode()
{
    if (!m_maximised) {
        enterMaximised();
        UserData::write(kSection, QStringLiteral("类型"), QStringLiteral("2"));
    } else {
        enterNormal(storedSize());
        centre();
        UserData::write(kSection, QStringLiteral("类型"), QStringLiteral("1"));
    }
}

void MainWindowFrame::enterMaximised()
{
    m_maximised = true;
    QScreen *screen = m_window->screen() ? m_window->screen() : QGuiApplication::primaryScreen();
    const QRect all = screen->geometry();
    const QRect work = screen->availableGeometry();
    // The task bar area below the work area is left free.
    m_window->setGeometry(all.left(), all.top(), all.width(), work.bottom() + 1 - all.top());
    m_window->showModePicture(true);
    m_window->relayout();
}

void MainWindowFrame::enterNormal(QSize size)
{
    m_maximised = false;
    m_window->resize(size.expandedTo(QSize(MainWindow::kMinWidth, MainWindow::kMinHeight)));
    m_window->showModePicture(false);
    m_window->relayout();
}

void MainWindowFrame::centre()
{
    QScreen *screen = m_window->screen() ? m_window->screen() : QGuiApplication::primaryScreen();
    QRect frame = m_window->frameGeometry();
    const QRect area = screen->availableGeometry();
    frame.moveCenter(area.center());
    m_window->move(std::max(frame.left(), area.left()), std::max(frame.top(), area.top()));
}

void MainWindowFrame::beginResize(Qt::Edges edges, QPoint globalPos)
{
    m_resizing = edges;
    m_resizeOrigin = globalPos;
    m_resizeStartSize = m_window->size();
    m_window->setWindowOpacity(kDragOpacity);
    QWindow *handle = m_window->windowHandle();
    m_systemResize = handle && handle->startSystemResize(edges);
    if (m_systemResize) {
        m_sawResizeStep = false;
        m_sinceResizeStep.start();
        m_systemResizePoll.start();
    }
}

void MainWindowFrame::resized()
{
    if (m_systemResize) {
        m_sawResizeStep = true;
        m_sinceResizeStep.restart();
    }
}

void MainWindowFrame::dragResize(QPoint globalPos)
{
    if (!isResizing() || m_systemResize)
        return;
    const QPoint delta = globalPos - m_resizeOrigin;
    QSize size = m_resizeStartSize;
    if (m_resizing & Qt::RightEdge)
        size.setWidth(size.width() + delta.x());
    if (m_resizing & Qt::BottomEdge)
        size.setHeight(size.height() + delta.y());
    m_window->resize(size.expandedTo(QSize(MainWindow::kMinWidth, MainWindow::kMinHeight)));
}

void MainWindowFrame::endResize()
{
    if (!isResizing() || m_systemResize)
        return;
    m_resizing = {};
    m_window->setWindowOpacity(1.0);
    finishUserResize();
}

void MainWindowFrame::pollSystemResize()
{
    // The system's own sizing runs outside our event handlers; it is over once the
    // button is up. Some window managers keep the release to themselves, so a pause in
    // the sizing ends it too rather than leaving the window translucent.
    const bool paused = m_sinceResizeStep.elapsed() > (m_sawResizeStep ? 700 : 3000);
    if ((QGuiApplication::mouseButtons() & Qt::LeftButton) && !paused)
        return;
    m_systemResizePoll.stop();
    m_systemResize = false;
    m_resizing = {};
    m_window->setWindowOpacity(1.0);
    finishUserResize();
}

void MainWindowFrame::finishUserResize()
{
    const QSize size = m_window->size().expandedTo(QSize(MainWindow::kMinWidth, MainWindow::kMinHeight));
    m_window->resize(size);
    UserData::write(kSection, QStringLiteral("宽度"), QString::number(size.width()));
    UserData::write(kSection, QStringLiteral("高度"), QString::number(size.height()));
    m_maximised = false;
    m_window->showModePicture(false);
    m_window->relayout();
    m_window->showNormal();
}

void MainWindowFrame::pressed(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    QWindow *handle = m_window->windowHandle();
    if (handle && handle->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - m_window->pos();
}

void MainWindowFrame::moved(QMouseEvent *event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        m_window->move(event->globalPosition().toPoint() - m_dragOffset);
}

void MainWindowFrame::released()
{
    m_dragging = false;
}

void MainWindowFrame::windowMoved()
{
    if (m_maximised && m_window->pos() != QPoint(0, 0) && !m_window->isMinimized())
        m_window->move(0, 0);
}

} // namespace vantrell::client
