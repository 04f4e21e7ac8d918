#pragma once

// Window handling of the borderless main window: normal and maximised mode with the
// stored size, resizing from the right and bottom edges, dragging by any point and
// pinning the maximised window to the top-left corner.

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QTimer>

class QMouseEvent;
class QWidget;

namespace vantrell::client {

class MainWindow;
class EdgeGrip;

class MainWindowFrame final : public QObject
{
    Q_OBJECT
public:
    explicit MainWindowFrame(MainWindow *window);

    bool isMaximised() const { return m_maximised; }

    // At opening, from 窗口模式/类型: "1" stored size, "2" maximised, else as designed.
    void restoreMode();
    // The maximise button: maximised <-> normal with the stored size; stores 类型.
    void toggleMode();
    void enterMaximised();
    void enterNormal(QSize size);

    // The three edge grips call these; a drag ends in finishUserResize.
    void beginResize(Qt::Edges edges, QPoint globalPos);
    void dragResize(QPoint globalPos);
    void endResize();
    void finishUserResize();
    bool isResizing() const { return m_resizing != Qt::Edges(); }

    // Dragging the window by any point that does not take the mouse itself.
    void pressed(QMouseEvent *event);
    void moved(QMouseEvent *event);
    void released();

    // The window's size changed (while the system sizes it, each step).
    void resized();

    // Window moved: a maximised window goes back to 0,0.
    void windowMoved();
    void placeGrips();

private:
    QSize storedSize() const;
    void centre();
    void pollSystemResize();

    MainWindow *m_window;
    bool m_maximised = false;
    Qt::Edges m_resizing;
    bool m_systemResize = false;
    QPoint m_resizeOrigin;
    QSize m_resizeStartSize;
    bool m_dragging = false;
    QPoint m_dragOffset;
    QTimer m_systemResizePoll;
    QElapsedTimer m_sinceResizeStep;
    bool m_sawResizeStep = false;
    EdgeGrip *m_grips[3] = {};
};

} // namespace vantrell::client
