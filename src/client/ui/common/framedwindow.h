#pragma once

// A borderless secondary window whose .ui file starts with its own title bar (caption
// and close button, 40 px high): draggable by that bar, closed by the button. A window
// that can be resized (its .ui gives a minimum but no fixed size) has a size grip in its
// corner and opens at the size it had when the account last closed it
// (client/ui/common/listlayout.h).
//
// Keys: Esc closes the window, after asking when it holds input that was typed but not
// saved (hasUnsavedInput); Enter on a focused button presses it. The window has a 1 px
// frame so that it stands out against a white page behind it.

#include <QWidget>

class QKeyEvent;
class QSizeGrip;
class QToolButton;

namespace vantrell::client {

class FramedWindow : public QWidget
{
    Q_OBJECT
public:
    explicit FramedWindow(QWidget *owner);

    // Typed input that closing would lose: Esc asks before it closes such a window.
    virtual bool hasUnsavedInput() const { return false; }

protected:
    // After setupUi: the close button's picture and action. It takes no focus: Esc does
    // what it does from the keyboard.
    void adoptCloseButton(QToolButton *close);

    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

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
