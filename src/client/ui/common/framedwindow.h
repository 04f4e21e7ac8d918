#pragma once

// A borderless secondary window whose .ui file starts with its own title bar (caption
// and close button, 40 px high): draggable by that bar, closed by the button.

#include <QWidget>

class QToolButton;

namespace vantrell::client {

class FramedWindow : public QWidget
{
    Q_OBJECT
public:
    explicit FramedWindow(QWidget *owner);

protected:
    // After setupUi: the close button's picture and action.
    void adoptCloseButton(QToolButton *close);

    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

    // Centres the window over its owner (or the screen).
    void centreOnOwner();

private:
    bool m_dragging = false;
    QPoint m_dragOffset;
};

} // namespace vantrell::client
