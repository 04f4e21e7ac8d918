#pragma once

// A borderless secondary window whose .ui file starts with its own title bar (caption
// and close button, 40 px high): draggable by that bar, closed by the button. A window
// that can be resized (its .ui gives a minimum but no fixed size) has a size grip in its
// corner and opens at the size it had when the account last closed it
// (client/ui/common/listlayout.h).

#include <QWidget>

class QSizeGrip;
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

    // Gives the window its remembered size, then centres it over its owner (or the screen).
    void centreOnOwner();

    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QSizeGrip *m_grip = nullptr;
    bool m_dragging = false;
    QPoint m_dragOffset;
};

} // namespace vantrell::client
